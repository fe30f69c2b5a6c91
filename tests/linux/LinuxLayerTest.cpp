// The Linux layer over real descriptors: a fake sysfs, ptys standing in for usblp, image files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

#include "FakeSysfs.h"
#include "platform/linux/ImageSnapshot.h"
#include "platform/linux/Interruption.h"
#include "platform/linux/LinuxErrors.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/UsblpDeviceFiles.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "update/FileNameRule.h"

namespace orlup::test {
namespace {

using namespace std::chrono_literals;

int OpenDescriptors() {
    return static_cast<int>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// What a child process does to its descriptors, signals and namespaces stays there; its exit
// status comes back.
int InChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(LinuxRulesTest, ErrnoBecomesTheCodeTheCoreTellsApartAndANameFollowsEitherSlash) {
    // The table's first entry comes from a missing image below.
    EXPECT_EQ(ErrorCodeFromErrno(ETIMEDOUT), ErrorCode::Timeout);  // its last
    EXPECT_EQ(ErrorCodeFromErrno(0), ErrorCode::Success);
    EXPECT_EQ(ErrorCodeFromErrno(EHOSTDOWN), ErrnoCodeBit | EHOSTDOWN);
    EXPECT_EQ(ErrorText(ErrnoCodeBit | EHOSTDOWN),
              "The system reported the error EHOSTDOWN. (0x20000070)");
    char small[sizeof "No such file, folder or device was found." - 1];  // short of the end
    EXPECT_EQ(SystemErrorDescription(ErrorCode::FileNotFound, 0x400, small, sizeof small), 0u);
    EXPECT_EQ(FileNameOf("dir\\sub/0493a"), "0493a");
    EXPECT_EQ(FileNameOf("0493fw.hex"), "");
}

TEST(SysfsListingTest, ListsDevicesWithTheirIdentitiesAndSkipsEverythingElse) {
    FakeSysfs sysfs;
    sysfs.AddDevice("usb1", "1d6b", "0002");  // a root hub
    sysfs.AddDevice("1-1", "044e", "200a", "ILV-A1", "Acme", "Ilvaran");
    sysfs.AddInterface("1-1", "lp0", "usb/lp0");
    sysfs.AddDevice("1-2", "044E", "1309");  // no serial, no strings, no driver
    sysfs.AddInterface("1-2");
    sysfs.AddDevice("1-3", "xyz", "1301");  // unreadable ids
    sysfs.AddDevice("1-4", "044e", "200a", "EVIL");
    sysfs.AddInterface("1-4", "lp1", "../../etc/passwd");  // a driver's name is not trusted
    sysfs.AddDevice("1-5");  // unplugged during the scan: its link dangles
    std::filesystem::remove_all(
        std::filesystem::canonical(sysfs.sysfsRoot() + "/bus/usb/devices/1-5"));

    std::string listed;
    for (const UsbDeviceRecord& d : SysfsUsbDevices(sysfs.sysfsRoot(), "/dev").ListUsbDevices())
        listed += d.busPort + "|" + d.serial + "|" + d.description + "|" + d.node + "|" +
                  std::to_string(d.productId) + "\n";
    const std::string path = sysfs.sysfsRoot() + "/bus/usb/devices/";
    EXPECT_EQ(listed, "1-1|ILV-A1|Acme Ilvaran|/dev/usb/lp0|8202\n1-2||" + path + "1-2||4873\n" +
                          "1-4|EVIL|" + path + "1-4||8202\n");
}

// A pty stands in for usblp, its node a link: a character device that blocks when nobody reads it
// and fails with EIO once the other side hangs up.
class UsblpTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.AddDevice("1-1", "044e", "200a", "ILV-A1");
        sysfs.AddInterface("1-1", "lp0", "usb/lp0");
        sysfs.AddDevice("1-2", "044e", "1301", "ILV2-B2");
        sysfs.AddInterface("1-2", "lp1", "usb/lp1");
        OpenPty();
    }

    /// A fresh pty as the Ilvaran's node.
    void OpenPty() {
        master = UniqueFd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        ASSERT_TRUE(master.IsValid() && grantpt(master.Get()) == 0 && unlockpt(master.Get()) == 0);
        fcntl(master.Get(), F_SETFL, O_NONBLOCK);
        struct stat status {};
        ASSERT_EQ(stat(ptsname(master.Get()), &status), 0);
        rdev = std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev));
        sysfs.LinkCharDevice(rdev, "1-1", "usbmisc/lp0");
        // Through the test's own descriptor the node outlives the pts entry, which the kernel
        // removes at hang-up; so only the test decides when the "printer" is gone.
        slave = UniqueFd(open(ptsname(master.Get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
        std::filesystem::remove(printer.node);
        std::filesystem::create_symlink("/proc/self/fd/" + std::to_string(slave.Get()),
                                        printer.node);
    }

    FakeSysfs sysfs;
    UniqueFd master, slave;
    std::string rdev;
    UsbDeviceRecord printer{"", "", 0x044E, 0x200A, "ILV-A1", "1-1", sysfs.scratch() + "/lp"};
};

TEST_F(UsblpTest, OpensOnlyTheListedDeviceOnlyOnceAndNeverAsAStandardDescriptor) {
    const UniqueFd opens(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const int descriptorsBefore = OpenDescriptors();
    UsblpDeviceFiles files(sysfs.sysfsRoot()), otherProgram(sysfs.sysfsRoot());
    const std::string image = sysfs.scratch() + "/0493fw.hex";  // a regular file
    WriteFile(image, "x");
    // What is not the listed printer is not even opened: opening a device can act by itself.
    inotify_add_watch(opens.Get(), printer.node.c_str(), IN_OPEN);
    inotify_add_watch(opens.Get(), image.c_str(), IN_OPEN);
    // The serial and node asked for, where the node's /sys/dev/char entry leads, the error.
    const std::tuple<const char*, std::string, const char*, const char*, uint32_t> refusals[] = {
        {"ILV-A1", "", "1-1", "usbmisc/lp0", ErrorCode::NotSupported},
        {"ILV-A2", printer.node, "1-1", "usbmisc/lp0", ErrorCode::DeviceNotConnected},
        {"ILV-A1", image, "1-1", "usbmisc/lp0", ErrorCode::DeviceNotConnected},
        // The node belongs to the Ilvaran-II, or to another driver of the same printer.
        {"ILV-A1", printer.node, "1-2", "usbmisc/lp1", ErrorCode::DeviceNotConnected},
        {"ILV-A1", printer.node, "1-1", "tty/ttyACM0", ErrorCode::DeviceNotConnected},
    };
    for (const auto& [serial, node, port, classDevice, code] : refusals) {
        const UsbDeviceRecord device{"", "", 0x044E, 0x200A, serial, "1-1", node};
        sysfs.LinkCharDevice(rdev, port, classDevice);
        EXPECT_EQ(files.OpenDevice(device), InvalidFileHandle) << classDevice;
        EXPECT_EQ(files.LastError(), code) << classDevice;
    }
    EXPECT_EQ(read(opens.Get(), std::string(4096, '\0').data(), 4096), -1);

    sysfs.LinkCharDevice(rdev, "1-1", "usbmisc/lp0");
    const FileHandle handle = files.OpenDevice(printer);
    ASSERT_NE(handle, InvalidFileHandle);
    EXPECT_TRUE(otherProgram.OpenDevice(printer) == InvalidFileHandle &&
                otherProgram.LastError() == ErrorCode::Busy);
    EXPECT_TRUE(files.Close(handle) && !files.Close(handle) &&
                files.LastError() == ErrorCode::InvalidHandle);
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);

    // With stdout closed, the printer's open would get descriptor 1 and the progress lines too.
    const int faults = InChild([&] {
        close(STDOUT_FILENO);
        ImageSnapshot snapshot;
        const bool movedUp = files.OpenDevice(printer) > 2 &&
                             ImageSnapshot::Take(image, nullptr, &snapshot) == 0 &&
                             snapshot.fd() > 2;
        int faults = movedUp && fcntl(STDOUT_FILENO, F_GETFD) < 0 ? 0 : 1;
        for (int fd : {STDIN_FILENO, STDERR_FILENO, 3}) close(fd);  // 3 is not a standard one
        EnsureStandardDescriptors();
        if (fcntl(3, F_GETFD) >= 0) faults |= 2;
        for (int fd = 0; fd < 3; ++fd) {
            struct stat null {};
            if (fstat(fd, &null) != 0 || null.st_rdev != makedev(1, 3)) faults |= 2;
        }
        return signal(SIGPIPE, SIG_DFL) == SIG_IGN ? faults : faults | 4;
    });
    EXPECT_EQ(faults, 0);
}

void OnForeignSignal(int) {}

// A write that waits for the printer ends: at its timeout; at once on Ctrl-C, which the main
// thread takes while another thread writes, and after which no write starts; at a signal let
// through, as usblp answers a SIGSTOP or a debugger; at a hang-up, an unplug only when the node
// goes. Any other signal waits until the write is done: usblp may drop or repeat a piece cut short.
TEST_F(UsblpTest, AWaitingWriteEndsAsItsCauseSays) {
    struct sigaction action {};
    action.sa_handler = OnForeignSignal;  // without SA_RESTART, as a careless library might
    for (int foreign : {SIGQUIT, SIGUSR1}) sigaction(foreign, &action, nullptr);
    enum Cause { Timeout, Interrupt, Cut, HangUp, Unplug, Held };
    const std::tuple<Cause, uint32_t, std::chrono::milliseconds> cases[] = {
        {Timeout, ErrorCode::Timeout, 200ms},        {Interrupt, ErrorCode::OperationAborted, 5s},
        {Cut, ErrorCode::OperationAborted, 5s},      {HangUp, ErrorCode::GenFailure, 500ms},
        {Unplug, ErrorCode::DeviceNotConnected, 5s}, {Held, ErrorCode::Success, 5s}};
    for (const auto& [cause, code, timeout] : cases) {
        SCOPED_TRACE(cause);
        OpenPty();
        const auto stall = [&, cause = cause, code = code, timeout = timeout] {
            UsblpDeviceFiles files(sysfs.sysfsRoot(), timeout);
            const FileHandle handle = files.OpenDevice(printer);
            std::string image(1 << 20, '\0'), received;
            // Letters only, which the pty passes unchanged; a piece sent twice or skipped shows.
            for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>('a' + i % 23);
            uint32_t written = 0, later = 1;
            std::atomic<bool> ok{false}, done{false}, held{true};
            const auto start = std::chrono::steady_clock::now();
            std::thread writer([&] {
                ok = files.Write(handle, image.data(), image.size(), &written);
                sigset_t mask;  // as it is once the write is over
                held =
                    pthread_sigmask(SIG_BLOCK, nullptr, &mask) != 0 || sigismember(&mask, SIGUSR1);
                done = true;
            });
            std::this_thread::sleep_for(300ms);
            if (cause == Interrupt) kill(getpid(), SIGINT);
            if (cause == HangUp || cause == Unplug) master.Reset();
            // The node goes a little after the hang-up, as the kernel takes its time.
            if (cause == Unplug)
                std::this_thread::sleep_for(60ms), std::filesystem::remove(printer.node);
            for (int idle = 0; (cause == Cut && !done) ||
                               (cause == Held && received.size() < image.size() && idle < 500);) {
                pthread_kill(writer.native_handle(), cause == Cut ? SIGQUIT : SIGUSR1);
                char piece[4096];
                const ssize_t got = cause == Held ? read(master.Get(), piece, sizeof piece) : 0;
                idle = got > 0 ? 0 : idle + 1;
                if (got > 0) received.append(piece, static_cast<size_t>(got));
                if (got <= 0) std::this_thread::sleep_for(1ms);
            }
            writer.join();
            // Ctrl-C also refuses every later write at once.
            const bool refused =
                cause != Interrupt ||
                (InterruptSignal() == SIGINT && !files.Write(handle, "x", 1, &later) && later == 0);
            const bool ended = ok == (written == image.size()) && files.LastError() == code &&
                               (cause != Held || received == image);
            const auto took = std::chrono::steady_clock::now() - start;
            return refused && ended && !held && took >= 200ms && took < 1300ms;
        };
        EXPECT_TRUE(cause != Interrupt
                        ? stall()
                        : InChild([&] {
                              sigset_t inherited;  // SIGINT blocked, as a parent may leave it
                              sigemptyset(&inherited);
                              sigaddset(&inherited, SIGINT);
                              pthread_sigmask(SIG_BLOCK, &inherited, nullptr);
                              return InstallInterruptionHandlers() && stall() ? 0 : 1;
                          }) == 0);
    }
}

// Another program changes the image while its snapshot is taken: the transfer reads the file
// as it was opened, or the open fails; nothing done to the file afterwards reaches it. Only a
// regular file is opened: a FIFO without a writer would hang a blocking open.
TEST(LinuxImageTest, ReadsARegularImageAsOpenedOrFails) {
    FakeSysfs scratch;
    const std::string path = scratch.scratch() + "/0493fw.hex", other = path + ".new",
                      fifo = path + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string original(200000, '\0'), changed(original.size(), 'c'), observed;
    for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<char>(i % 251);
    char* mapped = nullptr;  // written through before the copy: later writes change no file time
    const timespec touched[] = {{0, UTIME_OMIT}, {1, 0}};
    const std::tuple<const char*, std::function<void()>, bool> cases[] = {
        {"grown", [&] { WriteFile(path, original + "x"); }, false},
        {"shrunk", [&] { truncate(path.c_str(), 1000); }, false},
        {"rewritten in place", [&] { changed.copy(mapped, changed.size()); }, false},
        {"touched", [&] { utimensat(AT_FDCWD, path.c_str(), touched, 0); }, false},
        {"unlinked", [&] { unlink(path.c_str()); }, true},
        {"replaced", [&] { WriteFile(other, changed), rename(other.c_str(), path.c_str()); }, true},
        {"left alone", [] {}, true},
    };
    const std::function<void()>* changeDuringCopy = nullptr;
    LinuxImageFiles files([&](const uint8_t* piece, size_t size) {
        if (observed.empty()) (*changeDuringCopy)();
        observed.append(reinterpret_cast<const char*>(piece), size);
    });
    const int descriptorsBefore = OpenDescriptors();
    for (const auto& [what, change, mayKeepTheOriginal] : cases) {
        SCOPED_TRACE(what);
        WriteFile(path, original);
        const UniqueFd file(open(path.c_str(), O_RDWR));
        mapped = static_cast<char*>(
            mmap(nullptr, original.size(), PROT_READ | PROT_WRITE, MAP_SHARED, file.Get(), 0));
        original.copy(mapped, original.size());
        observed.clear();
        changeDuringCopy = &change;
        const FileHandle handle = files.OpenImage(path);
        EXPECT_TRUE(handle != InvalidFileHandle || what != std::string("left alone"));
        if (!mayKeepTheOriginal || handle == InvalidFileHandle) {
            EXPECT_EQ(files.LastError(), ErrorCode::SharingViolation);
        } else {
            WriteFile(path, changed);
            std::string copy(original.size(), '\0');
            uint32_t first = 0, second = 0;
            uint64_t size = 0;
            EXPECT_TRUE(files.Read(handle, copy.data(), 150000, &first) &&
                        files.Read(handle, copy.data() + first, 100000, &second) &&
                        files.Size(handle, &size));
            EXPECT_TRUE(first + second == size && copy == original && observed == original);
            EXPECT_TRUE(files.Close(handle) && !files.Close(handle) && !files.Size(handle, &size) &&
                        !files.Read(handle, &copy[0], 1, &first));
        }
        munmap(mapped, original.size());
    }
    // After "left alone": observed is not empty, so no change runs during these.
    for (const auto& [refused, code] : {std::pair(scratch.scratch(), ErrorCode::AccessDenied),
                                        {fifo, ErrorCode::AccessDenied},
                                        {path + ".missing", ErrorCode::FileNotFound}}) {
        EXPECT_EQ(files.OpenImage(refused), InvalidFileHandle) << refused;
        EXPECT_EQ(files.LastError(), code) << refused;
    }
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}

TEST(LinuxImageTest, ATemporaryFolderWithoutRoomFailsAsDiskFull) {
    FakeSysfs scratch;
    const std::string image = scratch.scratch() + "/0493fw.hex", tiny = scratch.scratch() + "/tmp";
    WriteFile(image, std::string(200000, 'x'));
    std::filesystem::create_directory(tiny);
    const int result = InChild([&, uid = std::to_string(getuid()), gid = std::to_string(getgid())] {
        // Root of its own namespaces, which may mount a small folder without privileges.
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return 77;
        WriteFile("/proc/self/setgroups", "deny");
        WriteFile("/proc/self/uid_map", "0 " + uid + " 1");
        WriteFile("/proc/self/gid_map", "0 " + gid + " 1");
        if (mount("tmpfs", tiny.c_str(), "tmpfs", 0, "size=16k") != 0) return 77;
        setenv("TMPDIR", tiny.c_str(), 1);
        ImageSnapshot snapshot;
        return ImageSnapshot::Take(image, nullptr, &snapshot) == ErrorCode::DiskFull ? 0 : 1;
    });
    if (result == 77) GTEST_SKIP() << "no user namespaces here";
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace orlup::test

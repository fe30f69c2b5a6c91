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
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

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
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return static_cast<int>(std::distance(begin(entries), end(entries)));
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

TEST(LinuxErrorsTest, ErrnoBecomesTheCodeTheCoreAndTheListingTellApart) {
    const std::pair<int, uint32_t> cases[] = {
        {ENOENT, ErrorCode::FileNotFound}, {EACCES, ErrorCode::AccessDenied},
        {EBUSY, ErrorCode::Busy},          {ENODEV, ErrorCode::DeviceNotConnected},
        {EIO, ErrorCode::GenFailure},      {ELOOP, ErrorCode::CantResolveFilename},
        {0, ErrorCode::Success},           {EHOSTDOWN, ErrnoCodeBit | EHOSTDOWN},
    };
    for (const auto& [errnoValue, code] : cases) EXPECT_EQ(ErrorCodeFromErrno(errnoValue), code);
    EXPECT_EQ(ErrorText(ErrorCode::WriteFault),
              "The device did not take all the data written to it. (0x1D)");
    EXPECT_EQ(ErrorText(ErrnoCodeBit | EHOSTDOWN),
              "The system reported the error EHOSTDOWN. (0x20000070)");
    EXPECT_EQ(ErrorText(0x1234), "Unknown error (0x1234)");
    char noRoomForTheEnd[sizeof "No such file, folder or device was found." - 1];
    EXPECT_EQ(SystemErrorDescription(ErrorCode::FileNotFound, 0x400, noRoomForTheEnd,
                                     sizeof noRoomForTheEnd),
              0u);
}

TEST(LinuxPathTest, FileNameFollowsTheLastSlashOrBackslash) {
    EXPECT_EQ(FileNameOf("/tmp/img/0493fw.hex"), "0493fw.hex");
    EXPECT_EQ(FileNameOf("dir\\sub/0493a"), "0493a");
    EXPECT_EQ(FileNameOf("0493fw.hex"), "");
}

TEST(SysfsListingTest, ListsDevicesWithTheirIdentitiesAndSkipsEverythingElse) {
    FakeSysfs sysfs;
    sysfs.AddRootHub(1);
    sysfs.AddDevice("1-1", "044e", "200a", "ILV-A1", "Acme", "Ilvaran");
    sysfs.AddInterface("1-1", "lp0", "usb/lp0");
    sysfs.AddDevice("1-2", "044E", "1301");  // no serial, no strings, no driver
    sysfs.AddInterface("1-2");
    sysfs.AddDevice("1-3", "xyz", "1301");  // unreadable ids
    sysfs.AddDevice("1-4", "044e", "200a", "EVIL");
    sysfs.AddInterface("1-4", "lp1", "../../etc/passwd");  // a driver's name is not trusted
    sysfs.AddDevice("1-5");
    sysfs.RemoveDeviceFolder("1-5");  // unplugged during the scan

    const std::vector<UsbDeviceRecord> devices =
        SysfsUsbDevices(sysfs.sysfsRoot(), "/dev").ListUsbDevices();
    using Fields = std::vector<std::string>;
    const auto fields = [](const UsbDeviceRecord& d) {
        return Fields{d.busPort, d.serial, d.description, d.node, std::to_string(d.productId)};
    };
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(fields(devices[0]),
              (Fields{"1-1", "ILV-A1", "Acme Ilvaran", "/dev/usb/lp0", "8202"}));
    EXPECT_EQ(devices[0].devicePath, sysfs.sysfsRoot() + "/bus/usb/devices/1-1");
    EXPECT_EQ(fields(devices[1]), (Fields{"1-2", "", devices[1].devicePath, "", "4865"}));
    EXPECT_EQ(fields(devices[2]), (Fields{"1-4", "EVIL", devices[2].devicePath, "", "8202"}));
}

// A pty stands in for usblp: a character device that blocks when nobody reads it and fails
// with EIO once the other side hangs up.
class UsblpTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.AddDevice("1-1", "044e", "200a", "ILV-A1");
        sysfs.AddInterface("1-1", "lp0", "usb/lp0");
        sysfs.AddDevice("1-2", "044e", "1301", "ILV2-B2");
        sysfs.AddInterface("1-2", "lp1", "usb/lp1");
        printer = {"", "", 0x044E, 0x200A, "ILV-A1", "1-1", ""};
        OpenPty();
    }

    /// A fresh pty as the Ilvaran's node.
    void OpenPty() {
        master = UniqueFd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!master.IsValid() || grantpt(master.Get()) != 0 || unlockpt(master.Get()) != 0) {
            GTEST_SKIP() << "no pseudo-terminals here";
        }
        // Raw, so that the bytes arrive as written.
        termios mode{};
        tcgetattr(master.Get(), &mode);
        cfmakeraw(&mode);
        tcsetattr(master.Get(), TCSANOW, &mode);
        struct stat status {};
        ASSERT_EQ(stat(ptsname(master.Get()), &status), 0);
        rdev = std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev));
        sysfs.LinkCharDevice(rdev, "1-1", "usbmisc/lp0");
        printer.node = ptsname(master.Get());
    }

    UsblpDeviceFiles Files(std::chrono::milliseconds timeout = 10s) {
        return UsblpDeviceFiles(sysfs.sysfsRoot(), timeout);
    }

    FakeSysfs sysfs;
    UniqueFd master;
    std::string rdev;
    UsbDeviceRecord printer;
};

TEST_F(UsblpTest, OpensOnlyTheListedDeviceAndOnlyOnce) {
    const UniqueFd opens(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const int descriptorsBefore = OpenDescriptors();
    UsblpDeviceFiles files = Files();
    const auto but = [&](std::string UsbDeviceRecord::*field, const std::string& value) {
        UsbDeviceRecord device = printer;
        device.*field = value;
        return device;
    };
    const std::string regularFile = sysfs.scratch() + "/lp0";
    WriteFile(regularFile, "");
    const std::pair<UsbDeviceRecord, uint32_t> refusals[] = {
        {but(&UsbDeviceRecord::node, ""), ErrorCode::NotSupported},
        {but(&UsbDeviceRecord::serial, "ILV-A2"), ErrorCode::DeviceNotConnected},
        {but(&UsbDeviceRecord::node, regularFile), ErrorCode::DeviceNotConnected},
    };
    // What is not the listed printer is not even opened: opening a device can act by itself.
    inotify_add_watch(opens.Get(), printer.node.c_str(), IN_OPEN);
    inotify_add_watch(opens.Get(), regularFile.c_str(), IN_OPEN);
    for (const auto& [device, code] : refusals) {
        EXPECT_EQ(files.OpenDevice(device), InvalidFileHandle);
        EXPECT_EQ(files.LastError(), code);
    }
    char events[4096];
    EXPECT_EQ(read(opens.Get(), events, sizeof events), -1);

    const FileHandle handle = files.OpenDevice(printer);
    ASSERT_NE(handle, InvalidFileHandle);
    UsblpDeviceFiles otherProgram = Files();
    EXPECT_EQ(otherProgram.OpenDevice(printer), InvalidFileHandle);
    EXPECT_EQ(otherProgram.LastError(), ErrorCode::Busy);
    uint32_t written = 0;
    EXPECT_TRUE(files.Write(handle, "\x1b!g", 3, &written));
    EXPECT_EQ(written, 3u);
    char received[8] = {};
    EXPECT_EQ(read(master.Get(), received, sizeof received), 3);
    EXPECT_TRUE(files.Close(handle));
    EXPECT_FALSE(files.Close(handle));
    EXPECT_EQ(files.LastError(), ErrorCode::InvalidHandle);

    // The node now belongs to the Ilvaran-II, or to another driver of the same printer: the
    // Ilvaran image must not go there.
    for (const auto& [port, classDevice] :
         {std::pair("1-2", "usbmisc/lp1"), {"1-1", "tty/ttyACM0"}}) {
        sysfs.LinkCharDevice(rdev, port, classDevice);
        EXPECT_EQ(files.OpenDevice(printer), InvalidFileHandle) << classDevice;
        EXPECT_EQ(files.LastError(), ErrorCode::DeviceNotConnected);
    }
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}

// With stdout closed, the printer's open would get descriptor 1 and the progress lines with it.
int StandardDescriptorFaults(UsblpDeviceFiles& files, const UsbDeviceRecord& printer,
                             const std::string& image) {
    close(STDOUT_FILENO);
    ImageSnapshot snapshot;
    const bool movedUp = files.OpenDevice(printer) > 2 &&
                         ImageSnapshot::Take(image, nullptr, &snapshot) == 0 && snapshot.fd() > 2;
    int faults = movedUp && fcntl(STDOUT_FILENO, F_GETFD) < 0 ? 0 : 1;
    close(STDIN_FILENO);
    close(STDERR_FILENO);
    close(3);  // not a standard one: it stays closed
    EnsureStandardDescriptors();
    if (fcntl(3, F_GETFD) >= 0) faults |= 2;
    for (int fd = 0; fd < 3; ++fd) {
        struct stat standard {};
        if (fstat(fd, &standard) != 0 || standard.st_rdev != makedev(1, 3)) faults |= 2;  // null
    }
    return signal(SIGPIPE, SIG_DFL) == SIG_IGN ? faults : faults | 4;
}

TEST_F(UsblpTest, NeitherPrinterNorImageEverTakesAStandardDescriptor) {
    const std::string image = sysfs.scratch() + "/0493fw.hex";
    WriteFile(image, "x");
    UsblpDeviceFiles files = Files();
    EXPECT_EQ(InChild([&] { return StandardDescriptorFaults(files, printer, image); }), 0);
}

// Nobody reads the pty: the write ends at its timeout, or at once on Ctrl-C, which the main
// thread takes while another thread writes; and no write starts after Ctrl-C.
TEST_F(UsblpTest, AStalledWriteEndsAtItsTimeoutOrAtOnceWhenInterrupted) {
    const auto interrupted = [&](bool interrupt) {
        sigset_t inherited;  // as a parent may leave it
        sigemptyset(&inherited);
        sigaddset(&inherited, SIGINT);
        pthread_sigmask(SIG_BLOCK, &inherited, nullptr);
        const bool installed = InstallInterruptionHandlers();
        UsblpDeviceFiles files = Files(interrupt ? 5s : 200ms);
        const FileHandle handle = files.OpenDevice(printer);
        const std::vector<char> image(1 << 20, 'x');
        uint32_t written = 0, later = 1;
        const auto start = std::chrono::steady_clock::now();
        auto took = start - start;
        std::thread writer([&] {
            files.Write(handle, image.data(), image.size(), &written);
            took = std::chrono::steady_clock::now() - start;
        });
        std::this_thread::sleep_for(300ms);
        if (interrupt) kill(getpid(), SIGINT);
        writer.join();
        const bool ended =
            took >= 200ms &&
            files.LastError() == (interrupt ? ErrorCode::OperationAborted : ErrorCode::Timeout);
        const bool noneLater = !interrupt || (!files.Write(handle, "x", 1, &later) && later == 0);
        return installed && ended && noneLater && written < image.size() &&
               InterruptSignal() == (interrupt ? SIGINT : 0);
    };
    for (const bool interrupt : {false, true}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(InChild([&] { return interrupted(interrupt) ? 0 : 1; }), 0) << interrupt;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1300ms) << interrupt;
    }
}

// Hanging up gives EIO; an unplug is told apart by the node going away.
TEST_F(UsblpTest, AHangUpIsAnUnplugOnlyWhenTheNodeGoes) {
    for (const bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "unplugged" : "hung up");
        OpenPty();
        // Through the test's own descriptor the node outlives the pts entry, which the kernel
        // removes at hang-up; so only the test decides when the "printer" is gone.
        const UniqueFd slave(open(printer.node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        const std::string link = sysfs.scratch() + "/lp";
        std::filesystem::remove(link);
        std::filesystem::create_symlink("/proc/self/fd/" + std::to_string(slave.Get()), link);
        UsbDeviceRecord device = printer;
        device.node = link;
        UsblpDeviceFiles files = Files(500ms);
        const FileHandle handle = files.OpenDevice(device);
        ASSERT_NE(handle, InvalidFileHandle);
        const std::vector<char> image(1 << 20, 'x');
        uint32_t written = 0;
        bool result = true;
        std::thread writer(
            [&] { result = files.Write(handle, image.data(), image.size(), &written); });
        std::this_thread::sleep_for(100ms);
        if (unplug) std::filesystem::remove(link);
        master.Reset();
        writer.join();
        EXPECT_FALSE(result);
        EXPECT_EQ(files.LastError(),
                  unplug ? ErrorCode::DeviceNotConnected : ErrorCode::GenFailure);
        EXPECT_TRUE(files.Close(handle));
    }
}

volatile sig_atomic_t foreignSignals = 0;
void OnForeignSignal(int) { foreignSignals = foreignSignals + 1; }

// Any other signal waits until the piece is done: usblp may drop or repeat a piece cut short.
TEST_F(UsblpTest, OtherSignalsNeitherCutAWriteShortNorChangeItsBytes) {
    struct sigaction action {};
    action.sa_handler = OnForeignSignal;  // without SA_RESTART, as a careless library might
    sigaction(SIGUSR1, &action, nullptr);
    UsblpDeviceFiles files = Files();
    const FileHandle handle = files.OpenDevice(printer);
    std::string image(256 * 1024, '\0'), received;
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i % 251);
    fcntl(master.Get(), F_SETFL, O_NONBLOCK);
    const pthread_t writer = pthread_self();
    std::thread reader([&] {
        char piece[4096];
        for (int idle = 0; received.size() < image.size() && idle < 500;) {
            pthread_kill(writer, SIGUSR1);
            std::this_thread::sleep_for(1ms);
            const ssize_t got = read(master.Get(), piece, sizeof piece);
            idle = got > 0 ? 0 : idle + 1;
            if (got > 0) received.append(piece, static_cast<size_t>(got));
        }
    });
    uint32_t written = 0;
    EXPECT_TRUE(files.Write(handle, image.data(), image.size(), &written));
    reader.join();
    EXPECT_EQ(written, image.size());
    EXPECT_TRUE(received == image);
    const int seen = foreignSignals;  // held only while the write lasts
    pthread_kill(writer, SIGUSR1);
    EXPECT_GT(foreignSignals, seen);
}

TEST(LinuxImageTest, OpensRegularFilesOnlyAndNeverBlocks) {
    FakeSysfs scratch;
    const std::string fifo = scratch.scratch() + "/0493fifo.hex";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    LinuxImageFiles files;
    const int descriptorsBefore = OpenDescriptors();
    const std::pair<std::string, uint32_t> refusals[] = {
        {scratch.scratch(), ErrorCode::AccessDenied},
        {fifo, ErrorCode::AccessDenied},  // a FIFO without a writer would hang a blocking open
        {scratch.scratch() + "/missing.hex", ErrorCode::FileNotFound},
    };
    for (const auto& [path, code] : refusals) {
        EXPECT_EQ(files.OpenImage(path), InvalidFileHandle) << path;
        EXPECT_EQ(files.LastError(), code) << path;
    }
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}

// Another program changes the image while its snapshot is taken: the transfer reads the file
// as it was opened, or the open fails; and nothing done to the file afterwards reaches it.
TEST(LinuxImageTest, ReadsTheImageAsOpenedOrFails) {
    FakeSysfs scratch;
    const std::string path = scratch.scratch() + "/0493fw.hex", other = path + ".new";
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
        {"renamed over", [&] { WriteFile(other, changed), rename(other.c_str(), path.c_str()); },
         true},
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
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}

TEST(LinuxImageTest, ATemporaryFolderWithoutRoomFailsAsDiskFull) {
    FakeSysfs scratch;
    const std::string image = scratch.scratch() + "/0493fw.hex", tiny = scratch.scratch() + "/tmp";
    WriteFile(image, std::string(200000, 'x'));
    std::filesystem::create_directory(tiny);
    const std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
    const int result = InChild([&] {
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

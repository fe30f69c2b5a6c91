// The Linux layer over real descriptors: a fake sysfs, ptys standing in for usblp, image files,
// record files, a journal of the test's own, signals in child processes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <thread>

#include "FakeSysfs.h"
#include "platform/linux/FileWrites.h"
#include "platform/linux/ImageSnapshot.h"
#include "platform/linux/Interruption.h"
#include "platform/linux/JournalRecorder.h"
#include "platform/linux/LinuxDeviceWatch.h"
#include "platform/linux/LinuxErrors.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/RecordFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/UsblpDeviceFiles.h"
#include "platform/linux/WriteWatchdog.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "update/FlashUpdate.h"
#include "update/ImageDigest.h"

namespace orlup::test {
namespace {

using namespace std::chrono_literals;

/// Runs body in a child process and returns its exit status, or 128 + the signal that ended it; a
/// failed expectation in the child, printed there, turns 0 into 1.
int InChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        const int code = body();
        std::fflush(nullptr);
        _exit(code != 0 ? code : ::testing::Test::HasFailure());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

/// Runs body in a child process with a mount namespace of its own, so that what body mounts
/// stays there; skips the test where the system allows none (not root) or body returns 77.
void InPrivateMounts(const std::function<int()>& body) {
    const int result = InChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
            return 77;
        return body();
    });
    if (result == 77) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(result, 0);
}

/// A handler that does nothing and without SA_RESTART, as a careless library might set it: a call
/// that the signal cuts short fails with EINTR.
void CatchWithoutRestart(std::initializer_list<int> signals) {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    for (int caught : signals) sigaction(caught, &action, nullptr);
}

TEST(LinuxRulesTest, ErrnoBecomesTheCodeTheCoreTellsApart) {
    // The table's entries come from the failures below.
    EXPECT_EQ(ErrorCodeFromErrno(0), ErrorCode::Success);
    EXPECT_EQ(ErrorText(ErrorCodeFromErrno(EHOSTDOWN)),
              "The system reported the error EHOSTDOWN. (0x20000070)");
    char small[sizeof "No such file, folder or device was found." - 1];  // short of the end
    EXPECT_EQ(SystemErrorDescription(ErrorCode::FileNotFound, 0x400, small, sizeof small), 0u);
    Sha256 digest;  // which starts over once told: what follows is the digest of nothing
    digest.FinishHex();
    EXPECT_EQ(digest.FinishHex(),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

// The reader of a pipe takes a page at a time, each after two signals to the writer: a write cut
// short after some bytes, or before any, goes on where it stopped.
TEST(LinuxRulesTest, AFileWriteGoesOnAfterASignalUntilAllIsDown) {
    CatchWithoutRestart({SIGUSR1});
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    UniqueFd reader(ends[0]), writer(ends[1]);
    std::string sent(1 << 18, '\0'), received, page(4096, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i % 251);
    uint32_t result = 1;
    std::thread writing([&] {
        result = WriteFully(writer.Get(), sent.data(), sent.size());
        writer.Reset();  // the end of what the reader gets
    });
    for (ssize_t got = 1; got > 0;) {
        // The first signal ends a write that took some bytes, the second one that took none yet.
        for (int signals = 0; signals < 2; ++signals) {
            pthread_kill(writing.native_handle(), SIGUSR1);
            std::this_thread::sleep_for(1ms);
        }
        got = read(reader.Get(), page.data(), page.size());
        if (got > 0) received.append(page.data(), static_cast<size_t>(got));
    }
    writing.join();
    EXPECT_TRUE(result == 0 && received == sent);
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
        master = UniqueFd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
        ASSERT_TRUE(master.IsValid() && grantpt(master.Get()) == 0 && unlockpt(master.Get()) == 0);
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
    UsblpDeviceFiles files(sysfs.sysfsRoot()), otherProgram(sysfs.sysfsRoot());
    const std::string image = sysfs.scratch() + "/0493fw.hex";  // a regular file
    WriteFile(image, "x");
    // What is not the listed printer is not even opened: opening a device can act by itself.
    inotify_add_watch(opens.Get(), printer.node.c_str(), IN_OPEN);
    inotify_add_watch(opens.Get(), image.c_str(), IN_OPEN);
    // The serial and node asked for, where the node's /sys/dev/char entry leads, the error.
    const std::tuple<const char*, std::string, const char*, const char*, uint32_t> refusals[] = {
        // The node belongs to the Ilvaran-II, or to another driver of the same printer.
        {"ILV-A1", printer.node, "1-2", "usbmisc/lp1", ErrorCode::DeviceNotConnected},
        {"ILV-A1", printer.node, "1-1", "tty/ttyACM0", ErrorCode::DeviceNotConnected},
        {"ILV-A1", "", "1-1", "usbmisc/lp0", ErrorCode::NotSupported},
        {"ILV-A2", printer.node, "1-1", "usbmisc/lp0", ErrorCode::DeviceNotConnected},
        {"ILV-A1", image, "1-1", "usbmisc/lp0", ErrorCode::DeviceNotConnected}};
    for (const auto& [serial, node, port, classDevice, code] : refusals) {
        const UsbDeviceRecord device{"", "", 0x044E, 0x200A, serial, "1-1", node};
        sysfs.LinkCharDevice(rdev, port, classDevice);
        EXPECT_EQ(files.OpenDevice(device), InvalidFileHandle) << classDevice;
        EXPECT_EQ(files.LastError(), code) << classDevice;
    }
    EXPECT_EQ(read(opens.Get(), std::string(4096, '\0').data(), 4096), -1);

    const FileHandle handle = files.OpenDevice(printer);
    ASSERT_NE(handle, InvalidFileHandle);
    EXPECT_TRUE(otherProgram.OpenDevice(printer) == InvalidFileHandle &&
                otherProgram.LastError() == ErrorCode::Busy);
    EXPECT_TRUE(files.Close(handle) && !files.Close(handle) &&
                files.LastError() == ErrorCode::InvalidHandle);

    // With stderr or stdout closed, the printer's open would get its number and the messages too.
    const auto withoutOutputs = [&] {
        close(STDERR_FILENO);
        const FileHandle aboveStderr = files.OpenDevice(printer);
        files.Close(aboveStderr);
        close(STDOUT_FILENO);
        ImageSnapshot snapshot;
        const bool movedUp = aboveStderr > 2 && files.OpenDevice(printer) > 2 &&
                             ImageSnapshot::Take(image, {}, &snapshot) == 0 && snapshot.fd() > 2 &&
                             fcntl(STDOUT_FILENO, F_GETFD) < 0 && fcntl(STDERR_FILENO, F_GETFD) < 0;
        // One standard descriptor open, to be kept; 3 is not a standard one, and closing it
        // leaves errno at EBADF.
        dup2(STDIN_FILENO, STDERR_FILENO);
        for (int fd : {STDIN_FILENO, 3}) close(fd);
        EnsureStandardDescriptors();
        // 0 is filled first, as the lowest free: 1 on /dev/null shows both.
        struct stat null {};
        const bool filled = fcntl(3, F_GETFD) < 0 && fstat(STDOUT_FILENO, &null) == 0 &&
                            null.st_rdev == makedev(1, 3) && signal(SIGPIPE, SIG_DFL) == SIG_IGN;
        return (movedUp ? 0 : 1) | (filled ? 0 : 2);
    };
    EXPECT_EQ(InChild(withoutOutputs), 0);
    master.Reset();  // a hung-up pty refuses the open with its own cause
    EXPECT_EQ(files.OpenDevice(printer), InvalidFileHandle);
    EXPECT_EQ(files.LastError(), ErrorCodeFromErrno(EIO));
}

// A write that waits for the printer ends: at its timeout; at once on Ctrl-C, which the main
// thread takes while another thread writes, and after which no write starts; at a
// signal let through, as usblp answers a SIGSTOP or a debugger; at a hang-up, an unplug only when
// the node goes. Any other signal waits until the write is done: usblp may drop or repeat a piece
// cut short.
TEST_F(UsblpTest, AWaitingWriteEndsAsItsCauseSays) {
    CatchWithoutRestart({SIGQUIT, SIGUSR1});
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
            std::string image((1 << 20) + 7, '\0'), received;  // its last piece a short one
            // Letters only, which the pty passes unchanged; a piece sent twice or skipped shows.
            for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>('a' + i % 23);
            uint32_t written = 0, later = 1;
            std::atomic<bool> ok{false}, done{false}, held{true};
            const auto start = std::chrono::steady_clock::now();
            std::thread writer([&] {
                ok = files.Write(handle, image.data(), image.size(), &written);
                sigset_t mask;  // as it is once the write is over
                held = pthread_sigmask(SIG_BLOCK, nullptr, &mask) || sigismember(&mask, SIGUSR1);
                done = true;
            });
            std::this_thread::sleep_for(300ms);
            if (cause == Interrupt) kill(getpid(), SIGINT);
            if (cause == HangUp || cause == Unplug) master.Reset();
            // The node goes a little after the hang-up, as the kernel takes its time.
            if (cause == Unplug)
                std::this_thread::sleep_for(60ms), std::filesystem::remove(printer.node);
            for (int idle = 0; (cause == Cut && !done) ||
                               (cause == Held && received.size() < image.size() && idle < 2000);) {
                pthread_kill(writer.native_handle(), cause == Cut ? SIGQUIT : SIGUSR1);
                char piece[4096];
                const ssize_t got = cause == Held ? read(master.Get(), piece, sizeof piece) : 0;
                idle = got > 0 ? 0 : idle + 1;
                if (got > 0) received.append(piece, static_cast<size_t>(got));
                if (got <= 0) std::this_thread::sleep_for(1ms);
            }
            writer.join();
            const auto took = std::chrono::steady_clock::now() - start;
            // Ctrl-C also refuses every later write at once, as aborted.
            return (cause != Interrupt || (InterruptSignal() == SIGINT &&
                                           !files.Write(handle, "x", 1, &later) && later == 0)) &&
                   ok == (written == image.size()) && files.LastError() == code &&
                   (cause != Held || received == image) && !held && took >= 200ms && took < 4s;
        };
        const auto interrupted = [&] {
            sigset_t inherited{};  // SIGINT blocked, as a parent may leave it
            sigaddset(&inherited, SIGINT);
            pthread_sigmask(SIG_BLOCK, &inherited, nullptr);
            // More writes before than there are watchdog slots: each must give its own back.
            for (int i = 0; i < 100; ++i) WriteWatchdog(1s);
            return InstallInterruptionHandlers() && stall() ? 0 : 1;
        };
        EXPECT_TRUE(cause != Interrupt ? stall() : InChild(interrupted) == 0);
    }
}

// The transfer reads the image's snapshot through a handle of its own: nothing done to the file
// afterwards reaches it. Only a regular file is opened: a FIFO without a writer would hang a
// blocking open. An image too large to send is judged by its size alone, at once. Any other is
// copied as it was opened, or refused when another program changes it meanwhile, whether its
// size, its times or only its bytes tell. The copy ends at a cancel, is made where O_TMPFILE is
// missing and leaves nothing behind; a failure to make one says where it was tried.
TEST(LinuxImageTest, AnImageIsReadAsOpenedThroughASnapshotOrNotAtAll) {
    using namespace ErrorCode;
    FakeSysfs scratch;
    const std::string dir = scratch.scratch(), image = dir + "/0493fw.hex", huge = image + ".huge",
                      fifo = image + ".fifo", tiny = dir + "/tiny", empty = dir + "/empty";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string copy(16, '\0');
    WriteFile(image, "0493 image");
    LinuxImageFiles files;
    const FileHandle handle = files.OpenImage(image);
    WriteFile(image, "0493 other");
    uint32_t first = 0, second = 0;
    uint64_t size = 0;
    EXPECT_TRUE(files.Read(handle, copy.data(), 4, &first) &&
                files.Read(handle, copy.data() + first, 16, &second) && files.Size(handle, &size));
    EXPECT_TRUE(first + second == size && copy.substr(0, size) == "0493 image");
    EXPECT_TRUE(files.Close(handle) && !files.Close(handle) && !files.Size(handle, &size) &&
                !files.Read(handle, &copy[0], 1, &first));
    auto taken = std::make_shared<ImageSnapshot>();  // taken beforehand, as a front end does
    ImageSnapshot::Take(image, {}, taken.get());
    files.Serve(image, std::move(taken));
    std::filesystem::remove(image);  // served all the same
    EXPECT_TRUE(files.Close(files.OpenImage(image)));
    files.Serve(image, nullptr, DiskFull);  // as the snapshot taken beforehand failed
    for (const auto& [refused, code] :
         {std::pair(fifo, AccessDenied), {image + ".missing", FileNotFound}, {image, DiskFull}}) {
        EXPECT_EQ(files.OpenImage(refused), InvalidFileHandle) << refused;
        EXPECT_EQ(files.LastError(), code) << refused;
    }

    std::string bytes(4 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
    WriteFile(huge, "");
    ASSERT_EQ(truncate(huge.c_str(), FlashUpdate::LargestImage + 1), 0);
    for (const std::string& folder : {tiny, empty}) std::filesystem::create_directory(folder);
    const timespec touched[] = {{0, UTIME_OMIT}, {1, 0}};
    using Change = std::function<void()>;
    InPrivateMounts([&] {
        if (mount("tmpfs", tiny.c_str(), "tmpfs", 0, "size=16k") != 0) return 77;
        // Reachable through its descriptor once /tmp is covered.
        const UniqueFd opened(open(huge.c_str(), O_RDONLY | O_CLOEXEC));
        const std::string hidden = "/proc/self/fd/" + std::to_string(opened.Get());
        // Written through before each copy: later writes change no file time.
        const UniqueFd file(open(image.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        char* mapped = static_cast<char*>(
            mmap(nullptr, bytes.size(), PROT_READ | PROT_WRITE, MAP_SHARED, file.Get(), 0));
        // One snapshot taken again and again; every copy but the first is a named one. The change
        // comes with the first piece copied; the cancel is asked 64 times while the image is
        // copied, then 128 times while it is compared. No copy of the huge image would fit.
        const std::tuple<std::string, std::string, uint64_t, Change, int, uint32_t> cases[] = {
            {empty, image, bytes.size(), nullptr, 0, 0},
            {empty, image, UINT64_MAX, [&] { truncate(image.c_str(), 1000); }, 0, SharingViolation},
            {empty, image, UINT64_MAX, [&] { mapped[0] = 'c'; }, 0, SharingViolation},
            {empty, image, UINT64_MAX, [&] { utimensat(AT_FDCWD, image.c_str(), touched, 0); }, 0,
             SharingViolation},
            {tiny, huge, FlashUpdate::LargestImage, nullptr, 0, 0},
            {empty, image, UINT64_MAX, nullptr, 3, OperationAborted},
            {empty, image, UINT64_MAX, nullptr, 64 + 3, OperationAborted},
            {tiny, image, UINT64_MAX, nullptr, 0, DiskFull},
            {"/missing", hidden, UINT64_MAX, nullptr, 0, NoPrivateCopy}};
        ImageSnapshot snapshot;
        int row = 0;
        for (const auto& [tmpdir, path, largest, change, cancelAt, code] : cases) {
            SCOPED_TRACE(++row);
            ftruncate(file.Get(), static_cast<off_t>(bytes.size()));
            bytes.copy(mapped, bytes.size());
            if (code == NoPrivateCopy)
                for (const char* folder : {"/tmp", "/var/tmp"})
                    mount("", folder, "tmpfs", MS_RDONLY, "");
            setenv("TMPDIR", tmpdir.c_str(), 1);
            int asked = 0;
            std::string observed, copy(bytes.size(), '\0');
            const ImageSnapshot::TakeOptions options{
                largest,
                [&, &change = change](const uint8_t* piece, size_t size) {
                    if (observed.empty() && change) change();
                    observed.append(reinterpret_cast<const char*>(piece), size);
                },
                [&, cancelAt = cancelAt] { return ++asked == cancelAt; }, largest != bytes.size()};
            EXPECT_EQ(ImageSnapshot::Take(path, options, &snapshot), code);
            uint32_t read = 0;
            const int readError = snapshot.ReadAt(0, copy.data(), copy.size(), &read) ? 0 : errno;
            EXPECT_EQ(readError, code == 0 && path == image ? 0 : EFBIG);
            EXPECT_TRUE(readError != 0 || (copy == bytes && observed == bytes));
            struct stat copied {};  // nobody else's to read, whatever the umask
            EXPECT_TRUE(fstat(snapshot.fd(), &copied) != 0 || (copied.st_mode & 0777) == 0600);
            EXPECT_TRUE(code == NoPrivateCopy || std::filesystem::is_empty(tmpdir));
        }
        EXPECT_EQ(snapshot.problem(), "/missing, /tmp, /var/tmp: " + ErrorText(AccessDenied));
        return 0;
    });
}

// A line goes whole onto a line of its own, or not at all: a file size limit makes the write
// come up short as a full disk does. A FIFO in the file's place fails at once.
TEST(LinuxRecordsTest, ALineGoesWholeOnALineOfItsOwnOrNotAtAll) {
    FakeSysfs scratch;
    const std::string state = scratch.scratch() + "/state", path = state + "/history.jsonl",
                      fifo = scratch.scratch() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    signal(SIGXFSZ, SIG_IGN);
    // The last line fits but for its last 4 bytes.
    for (const char* line : {"a\n", "d\n"}) EXPECT_EQ(AppendRecordLine(path, line), 0u);
    const rlimit limited{5, unlimited.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_EQ(AppendRecordLine(path, "eeee\n"), ErrorCode::FileTooLarge);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(path).permissions(), perms::owner_read | perms::owner_write);
    EXPECT_EQ(std::filesystem::status(state).permissions(), perms::owner_all);
    EXPECT_EQ(AppendRecordLine(fifo, "x\n"), ErrorCode::AccessDenied);
    // The first absolute folder of the variables; the binary's test has XDG_STATE_HOME and HOME.
    EXPECT_EQ(HistoryPath("x", "/s:/t", "/h"), "/s/history.jsonl");
    // Another process's lock is waited for, and its record, cut short meanwhile, is ended.
    const UniqueFd other(open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    flock(other.Get(), LOCK_EX);
    std::thread unlock([&] {
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(write(other.Get(), "g", 1), 1);
        flock(other.Get(), LOCK_UN);
    });
    EXPECT_EQ(AppendRecordLine(path, "f\n"), 0u);  // had it not waited, "f" would come before "g"
    unlock.join();
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {}),
              "a\nd\ng\nf\n");
}

// A journal of the test's own at the journal's path.
TEST(LinuxRecordsTest, AJournalEntryCarriesEveryFieldWhole) {
    InPrivateMounts([] {
        if (mount("tmpfs", "/run", "tmpfs", 0, nullptr) != 0) return 77;
        std::filesystem::create_directories("/run/systemd/journal");
        const UniqueFd journal(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{AF_UNIX, "/run/systemd/journal/socket"};
        EXPECT_EQ(bind(journal.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        // Device strings and paths are whatever their makers chose, and go whole. A failed
        // record, one done, and one that never sent, of a printer that told nothing of itself.
        const std::string printer = "Ilvaran SN\n\xff at 1-1: ";
        // Each message with the priority that follows it.
        const std::pair<AttemptRecord, std::string> cases[] = {
            {{"", "Ilvaran", "SN\n\xff", "1-1", "/i\n", 2500, "", 1024, false, "gone", 0},
             printer + "failed after 1024 of 2500 bytes - gone\nPRIORITY=3"},
            {{"", "Ilvaran", "SN\n\xff", "1-1", "/i\n", 2500, "", 2500, true, "done", 0},
             printer + "done, 2500 bytes of /i\n\nPRIORITY=6"},
            {{"", "", "SN\n\xff", "", "/i\n", 0, "", 0, false, "gone", 0},
             "printer SN\n\xff: failed before sending - gone\nPRIORITY=3"}};
        for (const auto& [record, message] : cases) {
            JournalRecorder().Record(record);
            std::string entry(1 << 16, '\0');
            entry.resize(std::max<ssize_t>(recv(journal.Get(), &entry[0], entry.size(), 0), 0));
            // The datagram as libsystemd lays it out, which carries any bytes whole.
            EXPECT_NE(entry.find(message), std::string::npos) << message;
        }
        return 0;
    });
}

// A Wait that another thread's act cuts short ends for that cause only; a stop signal waits,
// held, until the program takes it (the binary's test sees it stop then). Run in a child of its
// own.
int WaitScenario() {
    // Without a descriptor to spare, neither can wake a Wait.
    rlimit descriptors{};
    getrlimit(RLIMIT_NOFILE, &descriptors);
    const rlimit none{0, descriptors.rlim_max};
    setrlimit(RLIMIT_NOFILE, &none);
    EXPECT_FALSE(HoldStopSignals() || InstallInterruptionHandlers());
    setrlimit(RLIMIT_NOFILE, &descriptors);
    signal(SIGHUP, SIG_IGN);  // as nohup leaves it, which it stays
    EXPECT_TRUE(HoldStopSignals() && InstallInterruptionHandlers());
    EXPECT_EQ(signal(SIGHUP, SIG_IGN), SIG_IGN);
    CatchWithoutRestart({SIGUSR1});
    LinuxDeviceWatch watch(false);
    // The kernel's word, without udevd.
    EXPECT_TRUE(LinuxDeviceWatch(true).hotplugWorks() && !watch.hotplugWorks());
    using Event = UsbDeviceWatch::Event;
    const pthread_t waiter = pthread_self();
    // What a Wait ends with, and the next Wait at once: a stop and Ctrl-C stay for the program to
    // look at, all else is taken.
    const std::tuple<std::function<void()>, std::chrono::milliseconds, Event, Event> cases[] = {
        {[&] { pthread_kill(waiter, SIGUSR1); }, 150ms, Event::TimedOut, Event::TimedOut},
        {[&] { watch.Wake(); }, 5s, Event::Woken, Event::TimedOut},
        {[&] { watch.Notify(); }, -1ms, Event::Changed, Event::TimedOut},
        {[] { kill(getpid(), SIGTSTP); }, 5s, Event::Woken, Event::Woken},
        {[] { kill(getpid(), SIGINT); }, 5s, Event::Woken, Event::Woken}};
    for (const auto& [cause, timeout, event, next] : cases) {
        const auto start = std::chrono::steady_clock::now();
        std::thread other([&cause = cause] { std::this_thread::sleep_for(50ms), cause(); });
        EXPECT_EQ(watch.Wait(timeout), event);
        const auto took = std::chrono::steady_clock::now() - start;
        other.join();
        const auto expected = event == Event::TimedOut ? timeout : 50ms;
        EXPECT_TRUE(took >= expected && took < expected + 500ms);
        EXPECT_EQ(watch.Wait(0ms), next);
        EXPECT_EQ(TakeStopRequest(), next == Event::Woken && InterruptSignal() == 0);
    }
    EXPECT_EQ(InterruptSignal(), SIGINT);
    return 0;
}

TEST(LinuxWatchTest, AWaitEndsForItsCauseAndAStopWaitsUntilTheProgramTakesIt) {
    EXPECT_EQ(InChild(WaitScenario), 0);
}

}  // namespace
}  // namespace orlup::test

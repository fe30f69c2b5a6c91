// The file calls over real descriptors: fake usblp nodes, FIFOs and ptys, and image files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "FakeSysfs.h"
#include "platform/ErrorCodes.h"
#include "platform/linux/LinuxFileApi.h"
#include "platform/linux/UniqueFd.h"

namespace orlup::test {
namespace {

using namespace std::chrono_literals;

const std::string printerPath =
    "\\\\?\\usb#vid_044e&pid_200a#SN1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

int OpenDescriptors() {
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

class LinuxFileApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.AddDevice("1-1", "044e", "200a", "SN1");
        sysfs.AddInterface("1-1", "lp0", "usb/lp0");
        sysfs.AddDevice("1-2");
        sysfs.AddInterface("1-2");
    }

    LinuxFileApi MakeFiles(std::chrono::milliseconds timeout = 10s) {
        return LinuxFileApi(sysfs.sysfsRoot(), sysfs.devRoot(), timeout);
    }

    FakeSysfs sysfs;
    const std::string node = sysfs.NodePath("usb/lp0");
};

TEST_F(LinuxFileApiTest, DeviceOpensOnceAtATimeAndTakesTheBytes) {
    LinuxFileApi files = MakeFiles();
    EXPECT_EQ(files.OpenDevice(printerPath), InvalidFileHandle);
    EXPECT_EQ(files.LastError(), ErrorCode::FileNotFound) << "no node yet";
    EXPECT_EQ(
        files.OpenDevice("\\\\?\\usb#vid_044e&pid_200a#1-2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"),
        InvalidFileHandle);
    EXPECT_EQ(files.LastError(), ErrorCode::NotSupported);

    WriteFile(node, "");
    LinuxFileApi otherProgram = MakeFiles();
    const FileHandle handle = files.OpenDevice(printerPath);
    ASSERT_NE(handle, InvalidFileHandle);
    EXPECT_EQ(otherProgram.OpenDevice(printerPath), InvalidFileHandle);
    EXPECT_EQ(otherProgram.LastError(), ErrorCode::Busy);
    uint32_t written = 0;
    EXPECT_TRUE(files.Write(handle, "\x1b!g", 3, &written));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(files.Close(handle));

    // A port that is not open hands the invalid handle through and expects a failure.
    EXPECT_FALSE(files.Write(InvalidFileHandle, "x", 1, &written));
    EXPECT_EQ(files.LastError(), ErrorCode::InvalidHandle);
    EXPECT_FALSE(files.Close(InvalidFileHandle));
    const FileHandle again = otherProgram.OpenDevice(printerPath);
    EXPECT_NE(again, InvalidFileHandle);
    EXPECT_TRUE(otherProgram.Close(again));
    std::ifstream received(node, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(received), {}), "\x1b!g");
}

TEST_F(LinuxFileApiTest, ImageReadsToItsEndWithItsSize) {
    const std::string image = sysfs.scratch() + "/0493fw.hex";
    WriteFile(image, std::string(5000, 'x'));
    LinuxFileApi files = MakeFiles();
    const FileHandle handle = files.OpenImage(image);
    ASSERT_NE(handle, InvalidFileHandle);
    uint64_t size = 0;
    EXPECT_TRUE(files.Size(handle, &size));
    EXPECT_EQ(size, 5000u);
    std::vector<char> buffer(1024);
    uint32_t total = 0, got = 0;
    do {
        ASSERT_TRUE(files.Read(handle, buffer.data(), 1024, &got));
        total += got;
    } while (got != 0);
    EXPECT_EQ(total, 5000u);
    EXPECT_TRUE(files.Close(handle));
}

// A FIFO without a writer would hang a blocking open.
TEST_F(LinuxFileApiTest, ImageRefusesAllButRegularFilesWithoutBlockingOrLeaking) {
    const std::string fifo = sysfs.scratch() + "/0493fifo.hex";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    LinuxFileApi files = MakeFiles();
    const int descriptorsBefore = OpenDescriptors();

    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : {sysfs.scratch(), fifo}) {
        EXPECT_EQ(files.OpenImage(path), InvalidFileHandle) << path;
        EXPECT_EQ(files.LastError(), ErrorCode::AccessDenied) << path;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(files.OpenImage(sysfs.scratch() + "/missing.hex"), InvalidFileHandle);
    EXPECT_EQ(files.LastError(), ErrorCode::FileNotFound);
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}

// Given a printer that stops taking data (a FIFO nobody reads), the write gives up once the
// timeout has passed without progress, reports what did go through, and leaves the thread's
// signal mask as it found it.
TEST_F(LinuxFileApiTest, WriteTimesOutWhenTheDeviceStopsTakingData) {
    ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
    LinuxFileApi files = MakeFiles(200ms);
    const FileHandle handle = files.OpenDevice(printerPath);
    ASSERT_NE(handle, InvalidFileHandle);
    const auto capacity = static_cast<uint32_t>(fcntl(static_cast<int>(handle), F_GETPIPE_SZ));
    const std::vector<char> image(1 << 20, 'x');
    sigset_t maskBefore;
    pthread_sigmask(SIG_SETMASK, nullptr, &maskBefore);

    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd reader(open(node.c_str(), O_RDONLY | O_NONBLOCK));
        while (read(reader.Get(), std::vector<char>(capacity).data(), capacity) > 0) {
        }
        uint32_t written = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(files.Write(handle, image.data(), image.size(), &written));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(files.LastError(), ErrorCode::Timeout);
        EXPECT_EQ(written, capacity);
        EXPECT_GE(elapsed, 200ms);
        EXPECT_LT(elapsed, 2s);
    }
    sigset_t maskAfter;
    pthread_sigmask(SIG_SETMASK, nullptr, &maskAfter);
    for (int signal = 1; signal < SIGRTMAX; ++signal) {
        EXPECT_EQ(sigismember(&maskAfter, signal), sigismember(&maskBefore, signal)) << signal;
    }
    EXPECT_TRUE(files.Close(handle));
}

// A pty stands in for usblp on unplug: short counts, then EIO once the other side hangs up.
class PtyWriteTest : public LinuxFileApiTest {
protected:
    void SetUp() override {
        LinuxFileApiTest::SetUp();
        master = UniqueFd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!master.IsValid() || grantpt(master.Get()) != 0 || unlockpt(master.Get()) != 0) {
            GTEST_SKIP() << "no pseudo-terminals here";
        }
        // Through the test's own descriptor the node outlives the pts entry, which the kernel
        // removes at hang-up; so only the test decides when the "printer" is gone.
        slave = UniqueFd(open(ptsname(master.Get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
        ASSERT_TRUE(slave.IsValid());
        std::filesystem::create_symlink("/proc/self/fd/" + std::to_string(slave.Get()), node);
    }

    /// Writes 1 MiB while the other side hangs up after a moment; returns LastError.
    uint32_t WriteWhileHangingUp(bool removeNode) {
        LinuxFileApi files = MakeFiles(500ms);
        const FileHandle handle = files.OpenDevice(printerPath);
        EXPECT_NE(handle, InvalidFileHandle);
        const std::vector<char> image(1 << 20, 'x');
        uint32_t written = 0;
        bool result = true;
        std::thread writer(
            [&] { result = files.Write(handle, image.data(), image.size(), &written); });
        std::this_thread::sleep_for(100ms);
        if (removeNode) {
            std::filesystem::remove(node);
        }
        master.Reset();
        writer.join();
        EXPECT_FALSE(result);
        EXPECT_GT(written, 0u);
        EXPECT_LT(written, image.size());
        EXPECT_TRUE(files.Close(handle));
        return files.LastError();
    }

    UniqueFd master;
    UniqueFd slave;
};

TEST_F(PtyWriteTest, UnpluggedDeviceFailsAsNotConnectedAfterAShortCount) {
    EXPECT_EQ(WriteWhileHangingUp(true), ErrorCode::DeviceNotConnected);
}

TEST_F(PtyWriteTest, InputOutputErrorOfAPresentDeviceStaysAGeneralFailure) {
    EXPECT_EQ(WriteWhileHangingUp(false), ErrorCode::GenFailure);
}

}  // namespace
}  // namespace orlup::test

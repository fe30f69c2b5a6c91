// The Linux layer over real descriptors: a fake sysfs, ptys standing in for usblp, image files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "FakeSysfs.h"
#include "platform/linux/LinuxErrors.h"
#include "platform/linux/LinuxImageFiles.h"
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

TEST(LinuxErrorsTest, ErrnoBecomesTheCodeTheCoreAndTheListingTellApart) {
    const std::pair<int, uint32_t> cases[] = {
        {ENOENT, ErrorCode::FileNotFound},      {EACCES, ErrorCode::AccessDenied},
        {EBUSY, ErrorCode::Busy},               {ENODEV, ErrorCode::DeviceNotConnected},
        {EIO, ErrorCode::GenFailure},           {ELOOP, ErrorCode::CantResolveFilename},
        {0, ErrorCode::Success},                {EHOSTDOWN, ErrnoCodeBit | EHOSTDOWN},
    };
    for (const auto& [errnoValue, code] : cases) EXPECT_EQ(ErrorCodeFromErrno(errnoValue), code);
    EXPECT_EQ(ErrorText(ErrorCode::WriteFault),
              "The device did not take all the data written to it. (0x1D)");
    EXPECT_EQ(ErrorText(ErrnoCodeBit | EHOSTDOWN),
              "The system reported the error EHOSTDOWN. (0x20000070)");
    EXPECT_EQ(ErrorText(0x1234), "Unknown error (0x1234)");
    char tiny[8];
    EXPECT_EQ(SystemErrorDescription(ErrorCode::FileNotFound, 0x400, tiny, sizeof tiny), 0u);
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
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].busPort, "1-1");
    EXPECT_EQ(devices[0].serial, "ILV-A1");
    EXPECT_EQ(devices[0].description, "Acme Ilvaran");
    EXPECT_EQ(devices[0].node, "/dev/usb/lp0");
    EXPECT_EQ(devices[0].devicePath, sysfs.sysfsRoot() + "/bus/usb/devices/1-1");
    EXPECT_EQ(devices[1].productId, 0x1301);
    EXPECT_EQ(devices[1].serial, "");
    EXPECT_EQ(devices[1].node, "");
    EXPECT_EQ(devices[1].description, devices[1].devicePath);
    EXPECT_EQ(devices[2].busPort, "1-4");
    EXPECT_EQ(devices[2].node, "");
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
        printer.vendorId = 0x044E;
        printer.productId = 0x200A;
        printer.serial = "ILV-A1";
        printer.busPort = "1-1";
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
        sysfs.LinkCharDevice(rdev, "1-1", "lp0");
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
    const int descriptorsBefore = OpenDescriptors();
    UsblpDeviceFiles files = Files();
    UsbDeviceRecord unbound = printer;
    unbound.node = "";
    UsbDeviceRecord otherSerial = printer;
    otherSerial.serial = "ILV-A2";
    UsbDeviceRecord regularFile = printer;
    regularFile.node = sysfs.scratch() + "/lp0";
    WriteFile(regularFile.node, "");
    const std::pair<const UsbDeviceRecord*, uint32_t> refusals[] = {
        {&unbound, ErrorCode::NotSupported},
        {&otherSerial, ErrorCode::DeviceNotConnected},
        {&regularFile, ErrorCode::DeviceNotConnected},
    };
    for (const auto& [device, code] : refusals) {
        EXPECT_EQ(files.OpenDevice(*device), InvalidFileHandle);
        EXPECT_EQ(files.LastError(), code);
    }

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

    // The node now belongs to the Ilvaran-II: the Ilvaran image must not go there.
    sysfs.LinkCharDevice(rdev, "1-2", "lp1");
    EXPECT_EQ(files.OpenDevice(printer), InvalidFileHandle);
    EXPECT_EQ(files.LastError(), ErrorCode::DeviceNotConnected);
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}

TEST_F(UsblpTest, AWriteThatMakesNoProgressTimesOut) {
    UsblpDeviceFiles files = Files(200ms);
    const FileHandle handle = files.OpenDevice(printer);
    ASSERT_NE(handle, InvalidFileHandle);
    const std::vector<char> image(1 << 20, 'x');
    uint32_t written = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(files.Write(handle, image.data(), image.size(), &written));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(files.LastError(), ErrorCode::Timeout);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, image.size());
    EXPECT_GE(elapsed, 200ms);
    EXPECT_LT(elapsed, 3s);
    EXPECT_TRUE(files.Close(handle));
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
        std::thread writer([&] { result = files.Write(handle, image.data(), image.size(), &written); });
        std::this_thread::sleep_for(100ms);
        if (unplug) std::filesystem::remove(link);
        master.Reset();
        writer.join();
        EXPECT_FALSE(result);
        EXPECT_EQ(files.LastError(), unplug ? ErrorCode::DeviceNotConnected : ErrorCode::GenFailure);
        EXPECT_TRUE(files.Close(handle));
    }
}

TEST(LinuxImageTest, ReadsRegularFilesOnlyAndNeverBlocks) {
    FakeSysfs scratch;
    const std::string image = scratch.scratch() + "/0493fw.hex";
    WriteFile(image, std::string(5000, 'x'));
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

}  // namespace
}  // namespace orlup::test

// Measures orlup-cli flash against printers that take every byte at once: the pace of one printer
// and of four flashed together (--all) over 1 MiB at the real 10 ms period, peak memory with four
// 1 GiB generated images ticked without waiting, and list among 100 USB devices in a fake sysfs.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "RunCli.h"
#include "fakes/FakePlatform.h"
#include "linux/FakeSysfs.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"

namespace orlup {
namespace {

using Clock = std::chrono::steady_clock;

/// Printers that take every byte at once and images generated on the fly, so that no side
/// holds an image.
class GeneratedFiles : public CliPlatform, public DeviceFileApi, public ImageFileApi {
public:
    GeneratedFiles(int printers, uint64_t imageSize) : imageSize_(imageSize) {
        for (int i = 0; i < printers; ++i)
            devices_.AddDevice(std::to_string(i)).record.serial = "B";
    }
    UsbDeviceSource& Devices() override { return devices_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override { return Borrow<DeviceFileApi>(*this); }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        return std::make_shared<GeneratedFiles>(0, imageSize_);
    }
    FileHandle OpenDevice(const UsbDeviceRecord&) override { return 1; }
    FileHandle OpenImage(const std::string&) override { return offset_ = 0; }
    bool Write(FileHandle, const void*, uint32_t count, uint32_t* written) override {
        *written = count;
        return true;
    }
    bool Read(FileHandle, void* buffer, uint32_t count, uint32_t* read) override {
        *read = static_cast<uint32_t>(std::min<uint64_t>(imageSize_ - offset_, count));
        std::memset(buffer, static_cast<int>(offset_ & 0xFF), *read);
        offset_ += *read;
        return true;
    }
    bool Size(FileHandle, uint64_t* size) override { return (*size = imageSize_, true); }
    bool Close(FileHandle) override { return true; }
    uint32_t LastError() const override { return 0; }

private:
    test::FakePlatform devices_;
    uint64_t imageSize_;
    uint64_t offset_ = 0;
};

struct SysfsPlatform : CliPlatform {
    explicit SysfsPlatform(const test::FakeSysfs& sysfs)
        : root(sysfs.sysfsRoot()), devices(root, sysfs.scratch()) {}
    UsbDeviceSource& Devices() override { return devices; }
    std::shared_ptr<DeviceFileApi> MakePorts() override {
        return std::make_shared<UsblpDeviceFiles>(root);
    }
    std::shared_ptr<ImageFileApi> MakeImages() override { return nullptr; }
    std::string root;
    SysfsUsbDevices devices;
};

// Seconds that the run took; it must succeed.
template <typename Platform, typename... Arguments>
double Run(std::vector<std::string> args, std::optional<std::chrono::microseconds> period,
           const Arguments&... arguments) {
    std::ostringstream out, err;
    CliContext context(out, err, [&](auto) { return std::make_unique<Platform>(arguments...); });
    context.period = period;
    args.insert(args.begin(), "orlup-cli");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    const auto start = Clock::now();
    if (RunCli(static_cast<int>(argv.size()), argv.data(), context) != 0) std::printf("FAILED\n");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace
}  // namespace orlup

int main() {
    using namespace orlup;
    // Each printer's transfer fits in the whole run, so its pace is at least this one.
    for (const int printers : {1, 4}) {
        const std::vector<std::string> args =
            printers == 1 ? std::vector<std::string>{"flash", "/b/0493"}
                          : std::vector<std::string>{"flash", "--all", "/b/0493"};
        const double seconds = Run<GeneratedFiles>(args, std::nullopt, printers, 1 << 20);
        std::printf("pace, %d printer(s) at once: each at least %.2f%% of 102400 B/s\n", printers,
                    100.0 * 1048576 / seconds / 102400);
    }
    const double seconds = Run<GeneratedFiles>({"flash", "--all", "/b/0493"},
                                               std::chrono::microseconds(0), 4, uint64_t{1} << 30);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("memory: four 1 GiB images in %.1f s, peak RSS %ld KiB\n", seconds,
                usage.ru_maxrss);

    test::FakeSysfs sysfs;
    for (int i = 1; i <= 100; ++i) {
        const std::string port = "1-" + std::to_string(i), lp = "lp" + std::to_string(i);
        sysfs.AddDevice(port, i % 25 == 0 ? "044e" : "1d6b", "200a", "S" + port);
        sysfs.AddInterface(port, i % 25 == 0 ? lp : "", "usb/" + lp);
    }
    double slowest = 0;
    for (int run = 0; run < 10; ++run) {
        slowest = std::max(slowest, Run<SysfsPlatform>({"list"}, std::nullopt, sysfs));
    }
    std::printf("list: 100 USB devices, 4 printers: slowest of 10 runs %.2f ms\n", slowest * 1000);
}

// Measures orlup-cli against printers that take every byte at once: the pace of one printer and
// of four flashed together (--all) over 1 MiB at the real 10 ms period, and peak memory with four
// 1 GiB generated images ticked without waiting; and list among 100 USB devices in a fake sysfs.
// Exits 1 when a figure misses its bound.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <sstream>

#include "RunCli.h"
#include "fakes/FakePlatform.h"
#include "linux/FakeSysfs.h"
#include "platform/linux/SysfsUsbDevices.h"

namespace orlup {
namespace {

/// Printers that take every byte at once and images generated on the fly, so that no side
/// holds an image.
struct GeneratedFiles : CliPlatform, DeviceFileApi, ImageFileApi {
    GeneratedFiles(int printers, uint64_t imageSize) : imageSize_(imageSize) {
        for (int i = 0; i < printers; ++i) devices_.AddDevice(std::to_string(i));
    }
    UsbDeviceSource& Devices() override { return devices_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override { return Borrow<DeviceFileApi>(*this); }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        return std::make_shared<GeneratedFiles>(0, imageSize_);
    }
    FileHandle OpenDevice(const UsbDeviceRecord&) override { return 1; }
    FileHandle OpenImage(const std::string&) override { return offset_ = 0; }
    bool Write(FileHandle, const void*, uint32_t count, uint32_t* written) override {
        return (*written = count, true);
    }
    bool Read(FileHandle, void*, uint32_t count, uint32_t* read) override {
        *read = static_cast<uint32_t>(std::min<uint64_t>(imageSize_ - offset_, count));
        return (offset_ += *read, true);
    }
    bool Size(FileHandle, uint64_t* size) override { return (*size = imageSize_, true); }
    bool Close(FileHandle) override { return true; }
    uint32_t LastError() const override { return 0; }

    test::FakePlatform devices_;
    uint64_t imageSize_, offset_ = 0;
};

/// The USB devices of a sysfs; a printer's port opens at once, as the scan is what is timed.
struct SysfsPlatform : GeneratedFiles {
    explicit SysfsPlatform(const std::string& root) : GeneratedFiles(0, 0), sysfs(root) {}
    UsbDeviceSource& Devices() override { return sysfs; }
    SysfsUsbDevices sysfs;
};

// Seconds that the command took, or a day when it failed.
double Seconds(const std::string& command, const std::function<CliPlatform*()>& platform,
               std::optional<std::chrono::microseconds> period = std::nullopt) {
    std::ostringstream out, err;
    CliContext context(out, err, [&](auto) { return std::unique_ptr<CliPlatform>(platform()); });
    context.period = period;
    std::istringstream words("orlup-cli " + command);
    std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    const auto start = std::chrono::steady_clock::now();
    const bool done = RunCli(static_cast<int>(argv.size()), argv.data(), context) == 0;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return done ? took.count() : 86400;
}

}  // namespace
}  // namespace orlup

int main() {
    using namespace orlup;
    bool missed = false;
    // Each printer's transfer fits in the whole run, so its pace is at least this one; one
    // printer goes without --all, so that the single transfer's own path is timed.
    for (const auto& [printers, bound] : {std::pair(1, 98.0), {4, 97.0}}) {
        // 1 MiB in that many seconds against 102400 B/s, in per cent: 100 * 1048576 / 102400.
        const double pace = 1024 / Seconds(printers > 1 ? "flash --all /b/0493" : "flash /b/0493",
                                           [&] { return new GeneratedFiles(printers, 1 << 20); });
        std::printf("%d at once: each %.2f%% of 102400 B/s, bound %.0f%%\n", printers, pace, bound);
        missed |= pace < bound;
    }
    const double seconds = Seconds(
        "flash --all /b/0493", [] { return new GeneratedFiles(4, uint64_t{1} << 30); },
        std::chrono::microseconds(0));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("4 x 1 GiB in %.1f s: peak RSS %ld KiB, bound 8192\n", seconds, usage.ru_maxrss);

    test::FakeSysfs sysfs;  // 100 USB devices, every 25th a printer
    for (int i = 1; i <= 100; ++i) {
        const std::string port = "1-" + std::to_string(i), lp = "lp" + std::to_string(i);
        sysfs.AddDevice(port, i % 25 == 0 ? "044e" : "1d6b", "200a", "S" + port);
        sysfs.AddInterface(port, i % 25 == 0 ? lp : "", "usb/" + lp);
    }
    double list = 0;
    for (int run = 0; run < 10; ++run)
        list = std::max(
            list, 1000 * Seconds("list", [&] { return new SysfsPlatform(sysfs.sysfsRoot()); }));
    std::printf("list: 100 USB devices, 4 printers: slowest of 10 runs %.2f ms (bound 50 ms)\n",
                list);
    return missed || usage.ru_maxrss >= 8192 || list > 50 ? 1 : 0;
}

// Measures orlup-cli flash against printers that take every byte at once: the pace of one printer
// and of four flashed together (--all) over 1 MiB at the real 10 ms period, peak memory with four
// 1 GiB generated images ticked without waiting, and list among 100 USB devices in a fake sysfs.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>

#include "RunCli.h"
#include "fakes/FakePlatform.h"
#include "linux/FakeSysfs.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"

namespace orlup {
namespace {

using Clock = std::chrono::steady_clock;

/// A printer port that notes when the command and the last piece came, and an image generated
/// on the fly, so that neither side holds the image.
class GeneratedFiles : public DeviceFileApi, public ImageFileApi {
public:
    explicit GeneratedFiles(uint64_t imageSize) : imageSize_(imageSize) {}
    FileHandle OpenDevice(const UsbDeviceRecord&) override { return 1; }
    FileHandle OpenImage(const std::string&) override {
        offset_ = 0;
        return 2;
    }
    bool Write(FileHandle, const void*, uint32_t count, uint32_t* written) override {
        (received == 0 ? first : last) = Clock::now();
        received += count;
        *written = count;
        return true;
    }
    bool Read(FileHandle, void* buffer, uint32_t count, uint32_t* read) override {
        *read = static_cast<uint32_t>(std::min<uint64_t>(imageSize_ - offset_, count));
        std::memset(buffer, static_cast<int>(offset_ & 0xFF), *read);
        offset_ += *read;
        return true;
    }
    bool Size(FileHandle, uint64_t* size) override {
        *size = imageSize_;
        return true;
    }
    bool Close(FileHandle) override { return true; }
    uint32_t LastError() const override { return 0; }

    uint64_t received = 0;
    Clock::time_point first, last;

private:
    uint64_t imageSize_;
    uint64_t offset_ = 0;
};

// The ports outlive the platform, which the run owns, for their notes to be read.
using Ports = std::vector<std::shared_ptr<GeneratedFiles>>;

class BenchPlatform : public CliPlatform {
public:
    BenchPlatform(int printers, uint64_t imageSize, Ports& ports)
        : imageSize_(imageSize), ports_(ports) {
        for (int i = 1; i <= printers; ++i) {
            devices_.AddDevice("p" + std::to_string(i)).record.serial = "B" + std::to_string(i);
        }
    }
    UsbDeviceSource& Devices() override { return devices_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override {
        const std::lock_guard<std::mutex> lock(mutex_);
        ports_.push_back(std::make_shared<GeneratedFiles>(imageSize_));
        return ports_.back();
    }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        return std::make_shared<GeneratedFiles>(imageSize_);
    }

private:
    test::FakePlatform devices_;
    uint64_t imageSize_;
    Ports& ports_;
    std::mutex mutex_;
};

int Run(std::vector<std::string> args, const CliContext::PlatformFactory& platform,
        std::optional<std::chrono::microseconds> period = std::nullopt) {
    std::ostringstream out, err;
    CliContext context(out, err, platform);
    context.period = period;
    args.insert(args.begin(), "orlup-cli");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return RunCli(static_cast<int>(argv.size()), argv.data(), context);
}

// Each printer's pace from its command to its last piece, which are 1024 periods apart.
void Pace(const char* what, std::vector<std::string> args, int printers, double least) {
    constexpr double Nominal = 102400.0;
    Ports ports;
    const int status = Run(std::move(args), [&](auto) {
        return std::make_unique<BenchPlatform>(printers, 1024 * 1024, ports);
    });
    double worst = 100.0, total = 0.0;
    for (const auto& port : ports) {
        if (port->received == 0) continue;
        const double rate =
            1048576.0 / std::chrono::duration<double>(port->last - port->first).count();
        worst = std::min(worst, 100.0 * rate / Nominal);
        total += rate;
    }
    std::printf(
        "%s: exit %d, slowest printer %.2f%% of %.0f B/s (needs %.0f%%), together %.2f x "
        "nominal\n",
        what, status, worst, Nominal, least, total / Nominal);
}

}  // namespace
}  // namespace orlup

int main() {
    using namespace orlup;
    Pace("pace, one printer", {"flash", "/bench/0493.hex"}, 1, 98);
    Pace("pace, four printers", {"flash", "--all", "/bench/0493.hex"}, 4, 97);

    Ports ports;
    const auto start = Clock::now();
    const int status = Run(
        {"flash", "--all", "/bench/0493.hex"},
        [&](auto) { return std::make_unique<BenchPlatform>(4, uint64_t{1} << 30, ports); },
        std::chrono::microseconds(0));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("memory: four 1 GiB images in %.1f s, exit %d, peak RSS %ld KiB (needs < 8192)\n",
                std::chrono::duration<double>(Clock::now() - start).count(), status,
                usage.ru_maxrss);

    test::FakeSysfs sysfs;
    for (int i = 1; i <= 100; ++i) {
        const std::string port = "1-" + std::to_string(i);
        const bool printer = i % 25 == 0;
        sysfs.AddDevice(port, printer ? "044e" : "1d6b", printer ? "200a" : "0002", "S" + port);
        sysfs.AddInterface(port, printer ? "lp" + std::to_string(i) : "",
                           "usb/lp" + std::to_string(i));
    }
    struct SysfsPlatform : CliPlatform {
        explicit SysfsPlatform(const test::FakeSysfs& sysfs)
            : root(sysfs.sysfsRoot()), devices(root, sysfs.devRoot()) {}
        UsbDeviceSource& Devices() override { return devices; }
        std::shared_ptr<DeviceFileApi> MakePorts() override {
            return std::make_shared<UsblpDeviceFiles>(root);
        }
        std::shared_ptr<ImageFileApi> MakeImages() override { return nullptr; }
        std::string root;
        SysfsUsbDevices devices;
    };
    double slowest = 0;
    for (int run = 0; run < 10; ++run) {
        const auto begin = Clock::now();
        Run({"list"}, [&](auto) { return std::make_unique<SysfsPlatform>(sysfs); });
        slowest = std::max(slowest,
                           std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
    }
    std::printf(
        "list: 100 USB devices, 4 of them printers, slowest of 10 runs %.2f ms (needs < 50)\n",
        slowest);
    return 0;
}

// Measures orlup-cli's pace under Wine over 1 MiB at the real 10 ms period, against 102400 B/s,
// through the pieces orlup-cli.exe sends with: the held image, timed writes to a printer that
// takes everything at once (NUL) and the shared 1 ms timer. Not a test: it measures against the
// clock, which a busy machine would make flaky.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "RunCli.h"
#include "SnapshotPlatform.h"
#include "fakes/FakePlatform.h"
#include "platform/windows/HeldImage.h"
#include "platform/windows/TimerResolution.h"
#include "platform/windows/WindowsDeviceWatch.h"
#include "platform/windows/WindowsFileApi.h"

namespace orlup {
namespace {

struct NulPrinterPlatform : SnapshotPlatform<HeldImage, HeldImageFiles> {
    NulPrinterPlatform() { devices.AddDevice("NUL"); }
    UsbDeviceSource& Devices() override { return devices; }
    std::shared_ptr<DeviceFileApi> MakePorts() override {
        return std::make_shared<WindowsFileApi>();
    }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        timer = ShareTimerResolution();
        return SnapshotPlatform::MakeImages();
    }
    std::unique_ptr<UsbDeviceWatch> WatchDevices(bool) override {
        return std::make_unique<WindowsDeviceWatch>(false, nullptr);
    }
    test::FakePlatform devices;
    std::shared_ptr<TimerResolution> timer;
};

}  // namespace
}  // namespace orlup

int main() {
    using namespace orlup;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string name = "orlup-cli", command = "flash", image = std::string(temp) + "0493-bench.hex";
    std::ofstream(image, std::ios::binary) << std::string(1 << 20, '\x5A');
    std::ostringstream out, err;
    CliContext context(out, err, [](auto) { return std::make_unique<NulPrinterPlatform>(); });
    char* argv[] = {name.data(), command.data(), image.data()};
    const auto start = std::chrono::steady_clock::now();
    const int status = RunCli(3, argv, context);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    DeleteFileA(image.c_str());
    if (status != 0) std::printf("the flash failed (%d): %s", status, err.str().c_str());
    // 1 MiB at 102400 B/s takes 10.24 s.
    std::printf("1 MiB to a printer that takes everything: %.2f%% of 102400 B/s\n",
                status == 0 ? 100 * 10.24 / took.count() : 0);
    return status;
}

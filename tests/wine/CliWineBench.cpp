// Measures orlup-cli's pace under Wine over 1 MiB at the real 10 ms period, against 102400 B/s,
// through the pieces orlup-cli.exe sends with: the held image, timed writes to a printer that
// takes everything (a pipe that threads drain) and the shared 1 ms timer. Not a test: it measures
// against the clock, which a busy machine would make flaky.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "RunCli.h"
#include "SnapshotPlatform.h"
#include "fakes/FakePlatform.h"
#include "platform/windows/HeldImage.h"
#include "platform/windows/TimerResolution.h"
#include "platform/windows/UniqueHandle.h"
#include "platform/windows/WindowsDeviceWatch.h"
#include "platform/windows/WindowsFileApi.h"

namespace orlup {
namespace {

struct PipePrinterPlatform : SnapshotPlatform<HeldImage, HeldImageFiles> {
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

// Each instance of the pipe is drained by a thread of its own: the search opens the printer once,
// the transfer again. Returns the per cent of the full pace, 0 when the flash failed.
double Pace(const std::string& image) {
    const std::string pipeName =
        "\\\\.\\pipe\\orlup-bench-" + std::to_string(GetCurrentProcessId());
    std::thread drains[2];
    for (std::thread& drain : drains) {
        HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 2,
                                       65536, 65536, 0, nullptr);
        drain = std::thread([pipe] {
            const UniqueHandle owned(pipe);
            ConnectNamedPipe(pipe, nullptr);
            char buffer[65536];
            for (DWORD read = 0; ReadFile(pipe, buffer, sizeof buffer, &read, nullptr);) {
            }
        });
    }
    std::ostringstream out, err;
    CliContext context(out, err, [&](auto) {
        auto platform = std::make_unique<PipePrinterPlatform>();
        platform->devices.AddDevice(pipeName);
        return std::unique_ptr<CliPlatform>(std::move(platform));
    });
    std::string name = "orlup-cli", command = "flash", path = image;
    char* argv[] = {name.data(), command.data(), path.data()};
    const auto start = std::chrono::steady_clock::now();
    const int status = RunCli(3, argv, context);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    // An instance that nobody opened is let go by an open of its own.
    for (int instance = 0; instance < 2; ++instance) {
        UniqueHandle(
            CreateFileA(pipeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    for (std::thread& drain : drains) drain.join();
    if (status != 0) std::printf("the flash failed (%d): %s\n", status, err.str().c_str());
    // 1 MiB at 102400 B/s takes 10.24 s.
    return status == 0 ? 100 * 10.24 / took.count() : 0;
}

}  // namespace
}  // namespace orlup

int main() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string image = std::string(temp) + "0493-bench.hex";
    std::ofstream(image, std::ios::binary) << std::string(1 << 20, '\x5A');
    std::printf("1 MiB to a printer that takes everything: %.2f%% of 102400 B/s\n",
                orlup::Pace(image));
    DeleteFileA(image.c_str());
    return 0;
}

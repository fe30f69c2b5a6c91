// Measures orlup-cli in-process against simulated printers behind the Linux image snapshot and
// device watch: one printer's pace; sixteen flashed with --all (each one's pace, peak memory, CPU);
// a station's time from a printer appearing to its update command; and list among 100 USB devices
// in a fake sysfs. Prints each figure against its bound and exits 1 when one is missed.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "RunCli.h"
#include "SimulatedPlatform.h"
#include "SnapshotPlatform.h"
#include "linux/FakeSysfs.h"
#include "platform/linux/ImageSnapshot.h"
#include "platform/linux/LinuxDeviceWatch.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/SysfsUsbDevices.h"

namespace orlup {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;
const std::string Image = "/tmp/0493-orlup-bench.hex";
std::atomic<int> Signal{0};  // what every run is told was caught

using LinuxSimulation =
    SimulatedPlatform<SnapshotPlatform<ImageSnapshot, LinuxImageFiles>, LinuxDeviceWatch>;

/// Simulated printers, or a sysfs's devices, with images as orlup-cli takes them on Linux.
struct BenchPlatform : LinuxSimulation {
    BenchPlatform(SimulatedPrinters& printers, UsbDeviceSource& devices)
        : LinuxSimulation(Borrow(printers)), devices(devices) {}
    UsbDeviceSource& Devices() override { return devices; }
    UsbDeviceSource& devices;
};

/// Runs the command line to its end over those printers; whether it succeeded.
bool Run(const std::string& command, SimulatedPrinters& printers,
         UsbDeviceSource* devices = nullptr) {
    std::ostringstream out, err;
    CliContext context(out, err, [&](auto) {
        return std::make_unique<BenchPlatform>(printers, devices != nullptr ? *devices : printers);
    });
    context.signals.caught = [] { return Signal.load(); };
    std::istringstream words("orlup-cli " + command);
    std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return RunCli(static_cast<int>(argv.size()), argv.data(), context) == 0;
}

bool Report(const std::string& what, double figure, double bound, bool atLeast) {
    std::printf("%-58s %9.2f (bound %s %g)\n", what.c_str(), figure, atLeast ? ">=" : "<", bound);
    return atLeast ? figure >= bound : figure < bound;
}

}  // namespace
}  // namespace orlup

int main() {
    using namespace orlup;
    std::ofstream(Image) << std::string(1 << 20, 'Z');
    bool met = true;
    for (const int count : {1, 16}) {
        SimulatedPrinters printers;
        for (int i = 1; i < count; ++i) printers.Plug(FirmwareModels[0]);
        const std::clock_t cpu = std::clock();  // of every thread
        const auto start = Clock::now();
        const std::string all = count > 1 ? "--all " : "";
        const bool done = Run("flash " + all + Image, printers);
        const auto end = Clock::now();
        // Every transfer is over by then, so the slowest took at most that long from its command.
        auto first = end;
        for (const UsbDeviceRecord& printer : printers.ListUsbDevices())
            first = std::min(first, printers.CommandTime(printer.serial).value_or(end));
        const std::chrono::duration<double> wall = end - start, slowestTook = end - first;
        const double slowest = done ? 100 * 1048576 / 102400.0 / slowestTook.count() : 0;
        const std::string what = std::to_string(count) + " printer(s) at once: ";
        met &= Report(what + "slowest pace, % of 102400 B/s", slowest, 98, true);
        if (count == 1) continue;
        met &= Report(what + "CPU, % of one core",
                      100.0 * (std::clock() - cpu) / CLOCKS_PER_SEC / wall.count(), 10, false);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        met &= Report(what + "peak RSS, KiB", usage.ru_maxrss, 16384, false);
    }
    test::FakeSysfs sysfs;  // 100 USB devices, every 25th a printer
    for (int i = 1; i <= 100; ++i) {
        const std::string port = "1-" + std::to_string(i), lp = "lp" + std::to_string(i);
        sysfs.AddDevice(port, i % 25 == 0 ? "044e" : "1d6b", "200a", "S" + port);
        sysfs.AddInterface(port, i % 25 == 0 ? lp : "", "usb/" + lp);
    }
    SimulatedPrinters printers;  // the list's ports, then the station's printers
    SysfsUsbDevices devices(sysfs.sysfsRoot());
    double list = 0;
    for (int run = 0; run < 10; ++run) {
        const auto start = Clock::now();
        Run("list", printers, &devices);
        list = std::max(list, Ms(Clock::now() - start).count());
    }
    met &= Report("list: 100 USB devices, 4 printers, slowest of 10, ms", list, 50, false);
    std::thread station([&] { Run("station " + Image, printers); });
    double slowest = 0;
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto plugged = Clock::now();
        const std::string serial = printers.Plug(FirmwareModels[0]).serial;
        while (!printers.CommandTime(serial)) std::this_thread::yield();
        slowest = std::max(slowest, Ms(*printers.CommandTime(serial) - plugged).count());
    }
    Signal = 2;                        // the last run
    printers.Plug(FirmwareModels[1]);  // wakes the station to see the stop
    station.join();
    met &= Report("station: printer plugged in to its update command, ms", slowest, 50, false);
    std::remove(Image.c_str());
    return met ? 0 : 1;
}

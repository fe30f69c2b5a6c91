// orlup-cli: wires the real USB printers, or simulated ones, to the command line.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "History.h"
#include "RunCli.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"

namespace {

using namespace orlup;

class LinuxPlatform : public CliPlatform {
public:
    UsbDeviceSource& Devices() override { return devices_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override {
        return std::make_shared<UsblpDeviceFiles>();
    }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        return std::make_shared<LinuxImageFiles>();
    }

private:
    SysfsUsbDevices devices_;
};

// The simulated printers keep each thread's last error apart themselves; images are real files.
class SimulatedPlatform : public CliPlatform {
public:
    explicit SimulatedPlatform(SimulatedPrinters::Trouble trouble) : printers_(trouble) {}
    UsbDeviceSource& Devices() override { return printers_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override { return Borrow<DeviceFileApi>(printers_); }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        return std::make_shared<LinuxImageFiles>();
    }

private:
    SimulatedPrinters printers_;
};

}  // namespace

int main(int argc, char** argv) {
    orlup::EnsureStandardDescriptors();
    CliContext context{
        std::cout, std::cerr, [](std::optional<SimulatedPrinters::Trouble> simulate) {
            if (simulate) {
                return std::unique_ptr<CliPlatform>(std::make_unique<SimulatedPlatform>(*simulate));
            }
            return std::unique_ptr<CliPlatform>(std::make_unique<LinuxPlatform>());
        }};
    context.terminal = isatty(STDOUT_FILENO) != 0;
    context.historyPath = HistoryPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    return RunCli(argc, argv, context);
}

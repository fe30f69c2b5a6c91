// orlup-cli on Linux: wires the real USB printers, or simulated ones, to the command line.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "RunCli.h"
#include "SimulatedPlatform.h"
#include "SnapshotPlatform.h"
#include "platform/linux/ImageSnapshot.h"
#include "platform/linux/Interruption.h"
#include "platform/linux/JournalRecorder.h"
#include "platform/linux/LinuxDeviceWatch.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/RecordFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"

namespace {

using namespace orlup;

// Images are real files either way: one private snapshot, hashed while it is taken, feeds
// every transfer of the run.
using LinuxSnapshotPlatform = SnapshotPlatform<ImageSnapshot, LinuxImageFiles>;

class LinuxPlatform : public LinuxSnapshotPlatform {
public:
    UsbDeviceSource& Devices() override { return devices_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override {
        return std::make_shared<UsblpDeviceFiles>();
    }
    std::unique_ptr<UsbDeviceWatch> WatchDevices(bool hotplug) override {
        auto watch = std::make_unique<LinuxDeviceWatch>(hotplug);
        if (hotplug && !watch->hotplugWorks()) {
            std::cerr << "orlup-cli: printers plugged in cannot be told of (no uevents); they "
                         "are looked for only when something else wakes the program"
                      << std::endl;
        }
        return watch;
    }

private:
    SysfsUsbDevices devices_;
};

}  // namespace

int main(int argc, char** argv) {
    EnsureStandardDescriptors();
    CliContext context{
        std::cout, std::cerr, [](std::optional<SimulatedPrinters::Trouble> simulate) {
            if (simulate) {
                return std::unique_ptr<CliPlatform>(
                    std::make_unique<SimulatedPlatform<LinuxSnapshotPlatform, LinuxDeviceWatch>>(
                        std::make_shared<SimulatedPrinters>(*simulate)));
            }
            return std::unique_ptr<CliPlatform>(std::make_unique<LinuxPlatform>());
        }};
    context.terminal = isatty(STDOUT_FILENO) != 0;
    if (InstallInterruptionHandlers()) context.signals.caught = InterruptSignal;
    if (HoldStopSignals()) {
        context.signals.takeStopRequest = TakeStopRequest;
        context.signals.stopProcess = StopProcess;
    }
    context.historyPath = HistoryPath(std::getenv("XDG_STATE_HOME"), std::getenv("STATE_DIRECTORY"),
                                      std::getenv("HOME"));
    context.appendLine = AppendRecordLine;
    JournalRecorder journal;
    context.recorders.push_back(&journal);
    return RunCli(argc, argv, context);
}

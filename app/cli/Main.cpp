// orlup-cli on Linux: wires the real USB printers, or simulated ones, to the command line.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "RunCli.h"
#include "platform/linux/ImageSnapshot.h"
#include "platform/linux/Interruption.h"
#include "platform/linux/JournalRecorder.h"
#include "platform/linux/LinuxDeviceWatch.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/RecordFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"
#include "update/ImageDigest.h"

namespace {

using namespace orlup;

// Images are real files either way: one private snapshot, hashed while it is taken, feeds
// every transfer of the run.
class SnapshotPlatform : public CliPlatform {
public:
    ImageFacts TakeImage(const std::string& path, uint64_t largest,
                         const std::function<bool()>& cancelled) override {
        Sha256 digest;
        auto snapshot = std::make_shared<ImageSnapshot>();
        ImageSnapshot::TakeOptions options;
        options.largest = largest;
        options.observer = [&](const uint8_t* bytes, std::size_t count) {
            digest.Update(bytes, count);
        };
        options.cancelled = cancelled;
        ImageFacts facts;
        facts.error = ImageSnapshot::Take(path, options, snapshot.get());
        if (facts.error != 0) {
            facts.problem = snapshot->problem();
            return facts;
        }
        facts.size = snapshot->size();
        if (snapshot->copied()) facts.sha256 = digest.FinishHex();
        path_ = path;
        snapshot_ = std::move(snapshot);
        return facts;
    }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        return std::make_shared<LinuxImageFiles>(path_, snapshot_);
    }

private:
    std::string path_;
    std::shared_ptr<const ImageSnapshot> snapshot_;
};

class LinuxPlatform : public SnapshotPlatform {
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

// The simulated printers keep each thread's last error apart themselves, and tell of their own
// comings and goings.
class SimulatedPlatform : public SnapshotPlatform {
public:
    explicit SimulatedPlatform(SimulatedPrinters::Trouble trouble) : printers_(trouble) {}
    UsbDeviceSource& Devices() override { return printers_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override { return Borrow<DeviceFileApi>(printers_); }
    std::unique_ptr<UsbDeviceWatch> WatchDevices(bool) override {
        auto watch = std::make_unique<LinuxDeviceWatch>(false);
        printers_.SetChangeListener([notify = watch.get()] { notify->Notify(); });
        return watch;
    }

private:
    SimulatedPrinters printers_;
};

}  // namespace

int main(int argc, char** argv) {
    EnsureStandardDescriptors();
    CliContext context{
        std::cout, std::cerr, [](std::optional<SimulatedPrinters::Trouble> simulate) {
            if (simulate) {
                return std::unique_ptr<CliPlatform>(std::make_unique<SimulatedPlatform>(*simulate));
            }
            return std::unique_ptr<CliPlatform>(std::make_unique<LinuxPlatform>());
        }};
    context.terminal = isatty(STDOUT_FILENO) != 0;
    if (InstallInterruptionHandlers()) context.signals.caught = InterruptSignal;
    if (HoldStopSignals()) {
        context.signals.takeStopRequest = TakeStopRequest;
        context.signals.stopProcess = StopProcess;
    }
    context.historyPath = HistoryPath(std::getenv("XDG_STATE_HOME"),
                                      std::getenv("STATE_DIRECTORY"), std::getenv("HOME"));
    context.appendLine = AppendRecordLine;
    JournalRecorder journal;
    context.recorders.push_back(&journal);
    return RunCli(argc, argv, context);
}

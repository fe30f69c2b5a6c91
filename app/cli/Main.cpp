// orlup-cli: wires the real USB printers, or simulated ones, to the command line.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "History.h"
#include "ImageDigest.h"
#include "RunCli.h"
#include "platform/linux/ImageSnapshot.h"
#include "platform/linux/Interruption.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"

namespace {

using namespace orlup;

// Images are real files either way: one private snapshot, hashed while it is taken, feeds
// every transfer of the run.
class SnapshotPlatform : public CliPlatform {
public:
    ImageFacts TakeImage(const std::string& path) override {
        Sha256 digest;
        auto snapshot = std::make_shared<ImageSnapshot>();
        ImageFacts facts;
        facts.error = ImageSnapshot::Take(
            path,
            {UINT64_MAX,
             [&](const uint8_t* bytes, std::size_t count) { digest.Update(bytes, count); },
             nullptr},
            snapshot.get());
        if (facts.error != 0) return facts;
        facts.size = snapshot->size();
        facts.sha256 = digest.FinishHex();
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

private:
    SysfsUsbDevices devices_;
};

// The simulated printers keep each thread's last error apart themselves.
class SimulatedPlatform : public SnapshotPlatform {
public:
    explicit SimulatedPlatform(SimulatedPrinters::Trouble trouble) : printers_(trouble) {}
    UsbDeviceSource& Devices() override { return printers_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override { return Borrow<DeviceFileApi>(printers_); }

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
    if (InstallInterruptionHandlers()) context.interruptSignal = InterruptSignal;
    context.historyPath = HistoryPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    return RunCli(argc, argv, context);
}

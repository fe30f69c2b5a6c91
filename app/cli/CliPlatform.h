// What one run of orlup-cli works on: the printers main() wired, its streams and its settings.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HistoryFile.h"
#include "ImageFacts.h"
#include "platform/simulated/SimulatedPrinters.h"
#include "update/AttemptRecord.h"
#include "update/ImageFileApi.h"
#include "usb/DeviceFileApi.h"
#include "usb/UsbDeviceWatch.h"
#include "usb/UsbDevices.h"

namespace orlup {

class CliPlatform {
public:
    virtual ~CliPlatform() = default;
    /// Listed from the main thread only.
    virtual UsbDeviceSource& Devices() = 0;
    /// One per transfer thread: each keeps its own last error, and a port its own write
    /// watchdog, so that printers flashed side by side cannot disturb one another.
    virtual std::shared_ptr<DeviceFileApi> MakePorts() = 0;
    /// Reads the image at path once, for its size and digest, asking cancelled between pieces;
    /// one larger than largest is judged by its size alone, nothing read. From then on the image
    /// seams that MakeImages hands out serve exactly what was read.
    virtual ImageFacts TakeImage(const std::string& path, uint64_t largest,
                                 const std::function<bool()>& cancelled) = 0;
    virtual std::shared_ptr<ImageFileApi> MakeImages() = 0;
    /// Word of printers coming and going; without hotplug it is only woken.
    virtual std::unique_ptr<UsbDeviceWatch> WatchDevices(bool hotplug) = 0;
};

/// A pointer to an object that outlives every user, for a factory that hands out one shared,
/// thread-safe object.
template <typename Seam>
std::shared_ptr<Seam> Borrow(Seam& object) {
    return std::shared_ptr<Seam>(std::shared_ptr<void>(), &object);
}

/// What the program is told by the system while it runs: the requests to end or to stop.
struct CliSignals {
    /// The signal that asked the program to end, 0 for none.
    std::function<int()> caught;
    /// Takes a pending request to stop (Ctrl-Z), if there is one.
    std::function<bool()> takeStopRequest;
    /// Stops the whole program as the request asked, returning once it is continued.
    std::function<void()> stopProcess;
};

struct CliContext {
    /// The real printers without a simulation, else simulated ones in trouble of that kind.
    using PlatformFactory =
        std::function<std::unique_ptr<CliPlatform>(std::optional<SimulatedPrinters::Trouble>)>;

    CliContext(std::ostream& out, std::ostream& err, PlatformFactory platform)
        : out(out), err(err), platform(std::move(platform)) {}

    std::ostream& out;
    std::ostream& err;
    PlatformFactory platform;
    bool terminal = false;  // standard output is one
    /// The history file, empty for none, and the system's safe append to it.
    std::string historyPath;
    LineAppender appendLine;
    /// Where else every attempt is recorded (the system journal).
    std::vector<AttemptRecorder*> recorders;
    /// Unset: the flash update's own timer period. Benchmarks and tests set their own.
    std::optional<std::chrono::microseconds> period;
    CliSignals signals;

    int CaughtSignal() const { return signals.caught ? signals.caught() : 0; }
};

}  // namespace orlup

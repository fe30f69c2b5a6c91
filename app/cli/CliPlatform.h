// What one run of orlup-cli works on: the printers main() wired, its streams and its settings.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "ImageDigest.h"
#include "platform/simulated/SimulatedPrinters.h"
#include "update/ImageFileApi.h"
#include "usb/DeviceFileApi.h"
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
    virtual std::shared_ptr<ImageFileApi> MakeImages() = 0;
    /// Reads the image at path once, for its size and digest; from then on the image seams that
    /// MakeImages hands out serve exactly what was read, wherever the platform can promise it.
    virtual ImageFacts TakeImage(const std::string& path) {
        return ReadImageFacts(*MakeImages(), path);
    }
};

/// A pointer to an object that outlives every user, for a factory that hands out one shared,
/// thread-safe object.
template <typename Seam>
std::shared_ptr<Seam> Borrow(Seam& object) {
    return std::shared_ptr<Seam>(std::shared_ptr<void>(), &object);
}

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
    std::string historyPath;
    /// Unset: the flash update's own timer period. Benchmarks and tests set their own.
    std::optional<std::chrono::microseconds> period;
    /// The signal that asked the program to stop, 0 for none; unset where none is caught.
    std::function<int()> interruptSignal;

    int CaughtSignal() const { return interruptSignal ? interruptSignal() : 0; }
};

}  // namespace orlup

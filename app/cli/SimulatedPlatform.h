// Simulated printers behind the system's own image side and device watch, so that anyone can
// watch a whole update without hardware.
#pragma once

#include <memory>
#include <tuple>

#include "CliPlatform.h"

namespace orlup {

/// Base gives the images. The printers keep each thread's last error apart themselves, and tell
/// of their own comings and goings to a Watch made without hotplug and watchArgs after that.
template <typename Base, typename Watch, typename... WatchArgs>
class SimulatedPlatform : public Base {
public:
    explicit SimulatedPlatform(std::shared_ptr<SimulatedPrinters> printers, WatchArgs... watchArgs)
        : printers_(std::move(printers)), watchArgs_(watchArgs...) {}
    UsbDeviceSource& Devices() override { return *printers_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override { return printers_; }
    std::unique_ptr<UsbDeviceWatch> WatchDevices(bool) override {
        return std::apply(
            [this](WatchArgs... args) { return std::make_unique<ToldWatch>(*printers_, args...); },
            watchArgs_);
    }

private:
    // Told of the printers' comings and goings for as long as it lives.
    class ToldWatch : public Watch {
    public:
        explicit ToldWatch(SimulatedPrinters& printers, WatchArgs... args)
            : Watch(false, args...), printers_(printers) {
            printers_.SetChangeListener([this] { this->Notify(); });
        }
        ~ToldWatch() override { printers_.SetChangeListener(nullptr); }

    private:
        SimulatedPrinters& printers_;
    };

    std::shared_ptr<SimulatedPrinters> printers_;
    std::tuple<WatchArgs...> watchArgs_;
};

}  // namespace orlup

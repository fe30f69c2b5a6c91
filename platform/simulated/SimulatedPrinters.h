// Simulated printers behind the same seams as real ones, so that anyone can watch a whole
// update without hardware.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/simulated/PrinterIntake.h"
#include "update/FirmwareModel.h"
#include "usb/DeviceFileApi.h"
#include "usb/UsbDevices.h"

namespace orlup {

class SimulatedPrinters : public UsbDeviceSource, public DeviceFileApi {
public:
    /// What the printer does half-way through an image.
    enum class Trouble { None, Stall, Unplug };

    /// "stall" or "unplug", or empty for none; false for any other word.
    static bool ParseTrouble(const std::string& word, Trouble* trouble);

    /// One Ilvaran and one Ilvaran-II. A stalled printer takes nothing more, and its write
    /// fails with ErrorCode::Timeout after writeTimeout, as a real port's watchdog ends it.
    explicit SimulatedPrinters(Trouble trouble = Trouble::None,
                               std::chrono::milliseconds writeTimeout = std::chrono::seconds(10));

    /// Plugs in one more printer of the model, whose serial is SIM-<tag>-<number>, and tells the
    /// listener; returns its record.
    UsbDeviceRecord Plug(const FirmwareModel& model);
    /// Pulls the printer with that serial out, as a cable would be, and tells the listener.
    void Unplug(const std::string& serial);
    /// Told of every printer plugged in or pulled out, the trouble's own included; empty for none.
    void SetChangeListener(std::function<void()> listener);

    std::vector<UsbDeviceRecord> ListUsbDevices() override;
    FileHandle OpenDevice(const UsbDeviceRecord& device) override;
    /// Takes the update command and then at most the bytes it announced, at the printer's own
    /// pace; anything else is refused with ErrorCode::WriteFault.
    bool Write(FileHandle handle, const void* bytes, uint32_t count, uint32_t* written) override;
    bool Close(FileHandle handle) override;
    uint32_t LastError() const override;

    /// Image bytes the printer with that serial took since its last command.
    uint64_t Received(const std::string& serial) const;
    /// When the printer with that serial last took a whole update command.
    std::optional<std::chrono::steady_clock::time_point> CommandTime(
        const std::string& serial) const;

private:
    struct Printer {
        UsbDeviceRecord record;
        bool present = true;
        bool open = false;
        PrinterIntake intake;
        std::optional<std::chrono::steady_clock::time_point> commandAt;
    };

    bool Fail(uint32_t code);
    /// The open printer behind a handle; null for any other handle. Needs the lock.
    Printer* OpenPrinter(FileHandle handle);
    const Printer* Find(const std::string& serial) const;
    void Changed();

    Trouble trouble_;
    std::chrono::milliseconds writeTimeout_;
    mutable std::mutex mutex_;
    std::vector<Printer> printers_;
    std::function<void()> listener_;
    static thread_local uint32_t lastError_;
};

}  // namespace orlup

// The events of flash and station as JSON Lines, one object a line, for scripts to read.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>

#include "usb/UsbDevices.h"

namespace orlup {

/// Every event carries "event" and "time" (UTC, to the millisecond), and a printer's "model",
/// "serial", "busPort" and "node" where one is concerned; the field names are documented in
/// orlup-cli(1) and stay as they are. Safe from several threads.
class JsonEvents {
public:
    /// Null: JSON output is off and every event costs nothing.
    explicit JsonEvents(std::ostream* out) : out_(out) {}

    bool on() const { return out_ != nullptr; }
    void Started(const UsbDeviceRecord& printer, const std::string& image, uint64_t size,
                 const std::string& sha256);
    void Progress(const UsbDeviceRecord& printer, int percent, uint64_t sent, uint64_t size);
    void Done(const UsbDeviceRecord& printer, uint64_t sent, uint64_t size,
              const std::string& sha256);
    /// printer is null for a failure of the whole run, before any printer was settled on.
    void Failed(const UsbDeviceRecord* printer, const std::string& message, uint32_t code,
                uint64_t sent, uint64_t size, int status);
    void Skipped(const UsbDeviceRecord& printer, const std::string& reason);
    void Summary(int done, int failed, int skipped);

private:
    class Event;
    void Emit(const Event& event);

    std::ostream* out_;
    std::mutex mutex_;
};

/// The name of an error code in the program's table, "" for one it does not name.
std::string ErrorCodeName(uint32_t code);

}  // namespace orlup

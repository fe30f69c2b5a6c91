// Plays an Ilvaran printer on the gadget side for one transfer and reports what it received.
#pragma once

#include <cstdint>
#include <string>

namespace orlup::harness {

struct ServeOptions {
    std::string gadget;         // /dev/g_printerN
    std::string udc;            // the gadget's configfs UDC file, written empty to unplug
    std::string image;          // what should follow the update command
    std::string trouble;        // "", "stall" (stop reading) or "unplug" (pull the cable)
    uint64_t troubleAfter = 0;  // bytes received before the trouble starts
    // Bytes a previous host left queued are read away first. A gadget bound just now has none,
    // and its host may be writing already.
    bool drainFirst = true;
};

/// Prints "ready" once the port is open and emptied, then serves until SIGTERM and prints
/// the report. 0, or 3 when the image or the port could not be opened.
int ServePrinter(const ServeOptions& options);

/// A gadget whose emulator died mid-read must be emptied before anyone unbinds it (see
/// HoldStalled). One the host has not configured, or an emulator still holds, does not open and
/// is left alone. Always 0.
int DrainGadget(const std::string& gadget);

}  // namespace orlup::harness

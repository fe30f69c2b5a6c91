// The emulator's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orlup::harness {

struct ServeOptions {
    std::string gadget;                   // /dev/g_printerN
    std::string image;                    // what the printer should receive after the command
    std::string report;                   // where the TransferLog report goes
    std::string ready;                    // created once the port is open and drained
    std::optional<uint64_t> stallAfter;   // stop reading after this many bytes
    std::optional<uint64_t> unplugAfter;  // unbind the UDC after this many bytes
    std::string udc;                      // the gadget's configfs UDC file, for unplugging
    int maxSeconds = 120;                 // the emulator's own watchdog
};

struct MakeImageOptions {
    std::string path;
    uint64_t size = 0;
};

struct Options {
    enum class Mode { Serve, MakeImage, Drain } mode = Mode::Serve;
    ServeOptions serve;
    MakeImageOptions makeImage;
};

/// Reads "serve --gadget P --image P --report P --ready P [--stall-after N]
/// [--unplug-after N --udc P] [--max-seconds N]", "make-image PATH SIZE" or "drain GADGET"
/// (the gadget's path then goes into serve.gadget).
bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error);

}  // namespace orlup::harness

// The printer emulator's entry point: serve one transfer, or write a test image.
#include <cstring>
#include <iostream>
#include <string>

#include "EmulatedPrinter.h"
#include "GadgetPort.h"
#include "ImageFiles.h"
#include "Options.h"

namespace {

// Empties a gadget whose emulator may have died mid-read, before anyone unbinds it: a
// half-read request at unbind breaks the guest's slab (see EmulatedPrinter). A gadget the
// host has not configured opens with ENODEV and holds nothing.
int DrainGadget(const std::string& gadget) {
    orlup::harness::GadgetPort port;
    if (!port.Open(gadget, 0)) return 0;
    std::cout << "drained " << port.Drain(100) << " bytes from " << gadget << "\n";
    return 0;
}

int MakeImage(const orlup::harness::MakeImageOptions& options) {
    using namespace orlup::harness;
    const int error = WriteWholeFile(options.path, PatternImage(options.size));
    if (error != 0) {
        std::cerr << "printer-emulator: cannot write " << options.path << ": "
                  << std::strerror(error) << "\n";
    }
    return error == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orlup::harness;
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::cerr << "printer-emulator: " << error << "\n";
        return 2;
    }
    if (options.mode == Options::Mode::MakeImage) {
        return MakeImage(options.makeImage);
    }
    if (options.mode == Options::Mode::Drain) return DrainGadget(options.serve.gadget);
    InstallStopHandler();
    return EmulatedPrinter(options.serve).Run();
}

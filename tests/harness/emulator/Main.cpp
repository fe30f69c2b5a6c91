// The guest's helper program: plays a printer, empties a gadget, or starts a program as a
// terminal would.
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "EmulatedPrinter.h"
#include "GadgetPort.h"

namespace {

using orlup::harness::ServeOptions;

const char* const Usage =
    "usage: printer-emulator serve GADGET UDC IMAGE [stall|unplug BYTES]\n"
    "       printer-emulator drain GADGET\n"
    "       printer-emulator exec PROGRAM [ARGUMENT]...\n";

bool ParseTrouble(const char* kind, const char* bytes, ServeOptions* options) {
    char* end = nullptr;
    options->trouble = kind;
    options->troubleAfter = std::strtoull(bytes, &end, 10);
    return (options->trouble == "stall" || options->trouble == "unplug") &&
           std::isdigit(static_cast<unsigned char>(*bytes)) && *end == '\0';
}

// A gadget whose emulator died mid-read must be emptied before anyone unbinds it (see
// EmulatedPrinter). One the host has not configured, or an emulator still holds, opens with
// an error and is left alone.
int DrainGadget(const char* gadget) {
    orlup::harness::GadgetPort port;
    const uint64_t drained = port.Open(gadget) ? port.Drain(100) : 0;
    if (drained > 0) std::cout << "drained " << drained << " bytes from " << gadget << "\n";
    return 0;
}

// A non-interactive shell starts every background job with SIGINT and SIGQUIT ignored, and a
// program inherits that: undo it, so that a signal reaches the program as from a terminal. In
// a process group of its own, as a job, SIGTSTP stops it: the guest's own group is orphaned.
int ExecAsFromTerminal(char** argv) {
    setpgid(0, 0);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGQUIT, SIG_DFL);
    execvp(argv[0], argv);
    std::cerr << "printer-emulator: cannot run " << argv[0] << "\n";
    return 127;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "serve" && (argc == 5 || argc == 7)) {
        ServeOptions options{argv[2], argv[3], argv[4], "", 0};
        if (argc == 5 || ParseTrouble(argv[5], argv[6], &options)) {
            return orlup::harness::ServePrinter(options);
        }
    }
    if (mode == "drain" && argc == 3) return DrainGadget(argv[2]);
    if (mode == "exec" && argc > 2) return ExecAsFromTerminal(argv + 2);
    std::cerr << Usage;
    return 2;
}

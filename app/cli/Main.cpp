// orlup-cli: lists the attached printers, or flashes one from the command line.
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "CliHost.h"
#include "PrinterListing.h"
#include "platform/linux/SysfsUsbDevices.h"

namespace {

const char* const Usage =
    "usage: orlup-cli list\n"
    "       orlup-cli flash IMAGE\n"
    "\n"
    "Set the printer's rotary switch to position 4 and re-power it before flashing.\n";

std::string NodeOf(const std::string& devicePath) {
    std::string node;
    return orlup::ResolveDeviceNode(devicePath, &node) == 0 ? node : "-";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
        orlup::ListPrinters(orlup::SystemLibraryApi(), orlup::SystemFileApi(), NodeOf, std::cout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "flash") == 0) {
        orlup::CliHost::Options options;
        options.terminal = isatty(STDOUT_FILENO) != 0;
        orlup::CliHost host(argv[2], std::cout, std::cerr, options);
        return host.Flash(orlup::SystemLibraryApi(), orlup::SystemFileApi());
    }
    std::cerr << Usage;
    return 2;
}

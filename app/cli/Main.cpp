// orlup-cli: lists the attached printers, or flashes one from the command line.
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "CliHost.h"
#include "PrinterListing.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"

namespace {

const char* const Usage =
    "usage: orlup-cli list\n"
    "       orlup-cli flash IMAGE\n"
    "\n"
    "Set the printer's rotary switch to position 4 and re-power it before flashing.\n";

}  // namespace

int main(int argc, char** argv) {
    orlup::EnsureStandardDescriptors();
    orlup::SysfsUsbDevices devices;
    orlup::UsblpDeviceFiles ports;
    orlup::LinuxImageFiles images;
    if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
        if (orlup::ListPrinters(devices, ports, std::cout) == 0) {
            std::cout << "No Ilvaran or Ilvaran-II printers attached\n";
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "flash") == 0) {
        orlup::CliHost::Options options;
        options.terminal = isatty(STDOUT_FILENO) != 0;
        orlup::CliHost host(argv[2], std::cout, std::cerr, options);
        return host.Flash(orlup::FlashSystem{devices, ports, images});
    }
    std::cerr << Usage;
    return 2;
}

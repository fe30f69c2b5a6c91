// Writes the USB ids of the model table into the files that a package installs: the udev rule
// that lets the desktop user at the printers, and the AppStream modaliases that let a software
// centre offer Orlup when such a printer is plugged in. The ids then live in one place only.
//
// usage: MakeDeviceMatches udev-rules OUTPUT
//        MakeDeviceMatches metainfo TEMPLATE OUTPUT   (replaces the line holding %MODALIASES%)
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "update/FirmwareModel.h"

int main(int argc, char** argv) {
    const bool rules = argc == 3 && std::strcmp(argv[1], "udev-rules") == 0;
    const bool metainfo = argc == 4 && std::strcmp(argv[1], "metainfo") == 0;
    if (!rules && !metainfo) {
        std::fprintf(stderr, "usage: %s udev-rules OUTPUT | metainfo TEMPLATE OUTPUT\n", argv[0]);
        return 2;
    }
    std::ofstream out(argv[argc - 1]);
    char line[256];
    if (rules) {
        out << "# Made from the model table at build time. TAG+=\"uaccess\" gives the user at the\n"
               "# seat access to the usblp node and to the USB device of each Ilvaran model.\n";
        for (const orlup::FirmwareModel& model : orlup::FirmwareModels) {
            // sysfs spells the ids in lower case.
            std::snprintf(line, sizeof line,
                          "\n# %s\n"
                          "SUBSYSTEM==\"usbmisc\", KERNEL==\"lp*\", ATTRS{idVendor}==\"%04x\", "
                          "ATTRS{idProduct}==\"%04x\", TAG+=\"uaccess\"\n"
                          "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", "
                          "ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", TAG+=\"uaccess\"\n",
                          model.modelName, model.vendorId, model.productId, model.vendorId,
                          model.productId);
            out << line;
        }
    } else {
        std::ifstream in(argv[2]);
        if (!in) return 1;
        for (std::string text; std::getline(in, text);) {
            const std::size_t marker = text.find("%MODALIASES%");
            if (marker == std::string::npos) {
                out << text << '\n';
                continue;
            }
            // Modaliases spell them in upper case, as the kernel's usb:vXXXXpXXXX does.
            for (const orlup::FirmwareModel& model : orlup::FirmwareModels) {
                std::snprintf(line, sizeof line, "<modalias>usb:v%04Xp%04Xd*</modalias>\n",
                              model.vendorId, model.productId);
                out << text.substr(0, marker) << line;
            }
        }
    }
    return out.good() ? 0 : 1;
}

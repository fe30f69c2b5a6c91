// Entry point of the Linux GUI: the real USB devices, image files, file dialog and help viewer.
#include "UpdaterApp.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"

int main(int argc, char** argv) {
    orlup::EnsureStandardDescriptors();
    static orlup::SysfsUsbDevices devices;
    static orlup::UsblpDeviceFiles ports;
    static orlup::LinuxImageFiles images;
    static orlup::QtFileChooser fileChooser;
    static orlup::DesktopHelpViewer help;
    const orlup::DialogSeams seams{{devices, ports, images}, fileChooser, help};
    orlup::UpdaterApp app(argc, argv, seams);
    app.InitInstance();
    return 0;
}

// Entry point of the Linux GUI: wires the real USB printers, or the simulated ones, to the dialog.
#include <iostream>

#include "CommandLine.h"
#include "UpdaterApp.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"

int main(int argc, char** argv) {
    orlup::EnsureStandardDescriptors();
    const auto env = QProcessEnvironment::systemEnvironment();
    if (const auto answered = orlup::AnswerWithoutDisplay(argc, argv, env, std::cout, std::cerr)) {
        return *answered;
    }
    orlup::UpdaterApp app(argc, argv);
    const std::optional<orlup::StartOptions> options =
        orlup::ReadStartOptions(app.arguments(), std::cerr);
    if (!options) return 2;
    orlup::SimulatedPrinters simulated(options->trouble);
    orlup::SysfsUsbDevices devices;
    orlup::UsblpDeviceFiles ports;
    orlup::LinuxImageFiles images;
    const orlup::FlashSystem system = options->simulate
                                          ? orlup::FlashSystem{simulated, simulated, images}
                                          : orlup::FlashSystem{devices, ports, images};
    orlup::QtFileChooser fileChooser;
    orlup::HelpWindow help(QCoreApplication::applicationDirPath());
    orlup::UpdaterApp::InitInstance({system, fileChooser, help, options->simulate},
                                    options->imagePath);
    return 0;
}

// Entry point of the Linux GUI: wires the real USB printers, or the simulated ones, to the dialog.
#include <cstdlib>
#include <iostream>

#include "CommandLine.h"
#include "HistoryFile.h"
#include "UpdaterApp.h"
#include "platform/linux/ImageSnapshot.h"
#include "platform/linux/JournalRecorder.h"
#include "platform/linux/LinuxImageFiles.h"
#include "platform/linux/RecordFiles.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UsblpDeviceFiles.h"
#include "update/ImageDigest.h"

namespace {

// The image's private snapshot, taken off the dialog's thread and then served to the flash
// update.
class SnapshotPreparer : public orlup::ImagePreparer {
public:
    explicit SnapshotPreparer(orlup::LinuxImageFiles& images) : images_(images) {}
    void Take(const std::string& path, const std::function<bool()>& cancelled) override {
        path_ = path;
        taken_ = orlup::TakeHashed<orlup::ImageSnapshot>(path, orlup::FlashUpdate::LargestImage,
                                                         cancelled);
    }
    Prepared Serve() override {
        images_.Serve(path_, taken_.snapshot, taken_.error);
        return Prepared{taken_.size, taken_.sha256};
    }

private:
    orlup::LinuxImageFiles& images_;
    std::string path_;
    orlup::HashedImage<orlup::ImageSnapshot> taken_;
};

}  // namespace

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
    orlup::HistoryFile history(
        orlup::HistoryPath(std::getenv("XDG_STATE_HOME"), std::getenv("STATE_DIRECTORY"),
                           std::getenv("HOME")),
        orlup::AppendRecordLine, "orlup", std::cerr);
    orlup::JournalRecorder journal;
    SnapshotPreparer preparer(images);
    orlup::UpdaterApp::InitInstance(
        {system, fileChooser, help, options->simulate, {&history, &journal}, &preparer},
        options->imagePath);
}

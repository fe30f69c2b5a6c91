// Entry point of the Linux GUI: the real file system, USB devices, file dialog and help viewer.
#include "UpdaterApp.h"

int main(int argc, char** argv) {
    static orlup::QtFileChooser fileChooser;
    static orlup::DesktopHelpViewer help;
    const orlup::DialogSeams seams{orlup::SystemFileApi(), orlup::SystemLibraryApi(), fileChooser,
                                   help};
    orlup::UpdaterApp app(argc, argv, seams);
    app.InitInstance();
    return 0;
}

// Start-up of the Linux program: one modal dialog, and the program ends with it.
#include "UpdaterApp.h"

#include "AppIcon.h"
#include "UpdaterDialog.h"

namespace orlup {

UpdaterApp::UpdaterApp(int& argc, char** argv, const DialogSeams& seams)
    : QApplication(argc, argv), seams_(seams) {
    setWindowIcon(AppIcon());
    setDesktopFileName(QStringLiteral("orlup"));
}

bool UpdaterApp::InitInstance() {
    UpdaterDialog dialog(seams_);
    dialog.exec();  // centred on the screen, since it has no parent
    return false;
}

}  // namespace orlup

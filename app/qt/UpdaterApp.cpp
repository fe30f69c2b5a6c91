// Start-up of the Linux program: one modal dialog, and the program ends with it.
#include "UpdaterApp.h"

#include "AppIcon.h"
#include "UpdaterDialog.h"
#include "Version.h"

namespace orlup {

UpdaterApp::UpdaterApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool UpdaterApp::InitInstance(const DialogSeams& seams, const QString& imagePath) {
    // Every window's icon: the dialogs, the message boxes, the help window.
    setWindowIcon(AppIcon());
    setDesktopFileName(QStringLiteral(ORLUP_DESKTOP_ID));
    UpdaterDialog dialog(seams);
    if (!imagePath.isEmpty()) dialog.SetImagePath(imagePath.toLocal8Bit().toStdString());
    // Modal to no window of its own, so that the help window beside it takes input.
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();  // centred on the screen, since it has no parent
    return false;
}

}  // namespace orlup

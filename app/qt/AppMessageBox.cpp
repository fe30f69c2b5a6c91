// The application message box: warning icon, OK, the executable's name as caption.
#include "AppMessageBox.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace orlup {

QString AppCaption() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void ShowAppMessage(QWidget* mainWindow, const QString& text) {
    // A box raised while the About box is open belongs to the About box, as it would on Windows.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) owner = mainWindow;
    QMessageBox box(QMessageBox::Warning, AppCaption(), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace orlup

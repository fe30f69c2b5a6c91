// The help page, opened with the desktop's own viewer for local HTML files.
#include "HelpViewer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QShortcut>
#include <QUrl>

#include "AppMessageBox.h"
#include "res/DialogLayout.h"

namespace orlup {

QString HelpPagePath() {
    const QString name = AppCaption() + QStringLiteral("-help.html");
    const QString folder = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {folder + '/' + name, folder + QStringLiteral("/../share/") + AppCaption() + '/' + name}) {
        if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).absoluteFilePath();
    }
    return QString();
}

bool DesktopHelpViewer::ShowHelp() {
    const QString page = HelpPagePath();
    return !page.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void InstallHelpKey(QDialog& dialog, HelpViewer& viewer) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), &dialog);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, &dialog, [&dialog, &viewer] {
        if (!viewer.ShowHelp()) ShowAppMessage(&dialog, layout::HelpFailedText);
    });
}

}  // namespace orlup

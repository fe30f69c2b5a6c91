// Qt's file-open dialog, configured like the Windows one. Its default mode, AnyFile, checks no
// existence and adds no extension.
#include "FileChooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace orlup {

// Qt's file dialog stores its history in the user's QtProject.conf when it is destroyed, and
// nothing turns that off. Orlup keeps no settings, so the user's settings are pointed where no
// file can be made: below a device node.
QtFileChooser::QtFileChooser() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
}

std::optional<QString> QtFileChooser::ChooseFile(QWidget* owner, const FileRequest& request) {
    QFileDialog dialog(owner, request.title, request.directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The labels show as given while Qt reads the pattern from the last parentheses, so that
    // "All Files(*.*)" lists names without a dot too, as "*.*" does on Windows.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters;
    for (const NameFilter& filter : request.filters) {
        filters << filter.label + QStringLiteral(" (") + filter.pattern + ')';
    }
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}

}  // namespace orlup

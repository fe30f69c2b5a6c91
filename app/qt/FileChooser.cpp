// Qt's file-open dialog, configured like the Windows one: no existence checks, no extension added.
#include "FileChooser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace orlup {

std::optional<QString> QtFileChooser::ChooseFile(QWidget* owner, const FileRequest& request) {
    QFileDialog dialog(owner, request.title, request.directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.selectNameFilter(request.selectedFilter);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}

}  // namespace orlup

// The file-open dialog behind "Select File", as a seam so that tests can script the user.
#pragma once

#include <QList>
#include <QString>
#include <optional>

class QWidget;

namespace orlup {

struct NameFilter {
    QString label;    // shown as it stands
    QString pattern;  // what it lists
};

struct FileRequest {
    QString title;
    QString directory;          // where the dialog starts
    QList<NameFilter> filters;  // the first is selected
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    /// A modal file-open dialog owned by owner: the chosen file's full path, or nothing after
    /// Cancel or a failure.
    virtual std::optional<QString> ChooseFile(QWidget* owner, const FileRequest& request) = 0;
};

/// Qt's own file dialog, which, unlike the desktop's, hands back a typed name of a file
/// that does not exist, as the Windows dialog does. It leaves no settings behind.
class QtFileChooser : public FileChooser {
public:
    QtFileChooser();
    std::optional<QString> ChooseFile(QWidget* owner, const FileRequest& request) override;
};

}  // namespace orlup

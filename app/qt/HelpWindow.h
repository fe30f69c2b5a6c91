// F1 help: the help page in a window of Orlup's own, since a desktop may have no browser.
#pragma once

#include <QString>
#include <memory>

class QDialog;
class QTextBrowser;

namespace orlup {

class HelpWindow {
public:
    /// programFolder: where the running executable lies.
    explicit HelpWindow(QString programFolder);
    ~HelpWindow();
    HelpWindow(const HelpWindow&) = delete;
    HelpWindow& operator=(const HelpWindow&) = delete;

    /// Shows the page in the one help window, non-modal; false when there is no page.
    bool Show();
    /// The page beside the executable (a build tree) or in the share folder of the prefix it
    /// is installed in; empty when neither is readable.
    QString PagePath() const;
    /// The window once shown, else null.
    QTextBrowser* browser() const { return browser_.get(); }

private:
    void Create();

    QString programFolder_;
    std::unique_ptr<QTextBrowser> browser_;
};

/// F1 in the dialog shows the help, or "Failed to launch help." when there is no page.
void InstallHelpKey(QDialog& dialog, HelpWindow& help);

}  // namespace orlup

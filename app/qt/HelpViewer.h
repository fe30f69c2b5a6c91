// F1 help: the seam to the desktop's viewer and the key that calls it in each dialog.
#pragma once

#include <QString>

class QDialog;

namespace orlup {

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    /// Shows the program's help page; false when it cannot be shown.
    virtual bool ShowHelp() = 0;
};

/// Opens the help page named after the executable in the desktop's viewer.
class DesktopHelpViewer : public HelpViewer {
public:
    bool ShowHelp() override;
};

/// The help page named after the executable (orlup-help.html): next to it, or in the
/// share folder of an installed tree; empty when there is none.
QString HelpPagePath();

/// F1 in the dialog shows the help, or "Failed to launch help." when that fails.
void InstallHelpKey(QDialog& dialog, HelpViewer& viewer);

}  // namespace orlup

// The About box: icon, version, a second line and OK.
#pragma once

#include <QDialog>

namespace orlup {

class HelpWindow;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    /// Centred over parent when shown; blocks parent alone, so that the help window it opens
    /// takes input.
    AboutDialog(HelpWindow& help, QWidget* parent);
};

}  // namespace orlup

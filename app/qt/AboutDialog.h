// The About box: icon, version, a second line and OK.
#pragma once

#include <QDialog>

namespace orlup {

class HelpViewer;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    /// Centred over parent when shown.
    AboutDialog(HelpViewer& help, QWidget* parent);
};

}  // namespace orlup

// The About box, built from its template.
#include "AboutDialog.h"

#include <QPushButton>

#include "HelpWindow.h"
#include "TemplateWidgets.h"

namespace orlup {

AboutDialog::AboutDialog(HelpWindow& help, QWidget* parent) : QDialog(parent) {
    setWindowModality(Qt::WindowModal);
    ApplyDialogFrame(*this, layout::AboutTemplate);
    BuildControls(*this, layout::AboutTemplate);
    auto* ok = static_cast<QPushButton*>(FindControl(*this, layout::IdOk));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    InstallHelpKey(*this, help);
}

}  // namespace orlup

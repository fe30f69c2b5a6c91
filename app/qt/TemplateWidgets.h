// Builds a dialog's frame and controls from a portable dialog template.
#pragma once

#include "res/DialogLayout.h"

class QDialog;
class QWidget;

namespace orlup {

/// Caption, fixed client size in the dialog font's units, and a frame without minimise or
/// maximise buttons, as both templates want.
void ApplyDialogFrame(QDialog& dialog, const layout::DialogTemplate& dialogTemplate);

/// Creates every control in template order, which becomes the tab order and the stacking from
/// the top; an icon static shows the application icon.
void BuildControls(QDialog& dialog, const layout::DialogTemplate& dialogTemplate);

/// The control built with that id, or null; meant for the unique ids, not the static one.
QWidget* FindControl(const QWidget& dialog, int id);

/// The id a control was built with.
int ControlId(const QWidget& control);

}  // namespace orlup

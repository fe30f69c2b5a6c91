// Template-driven construction of Qt widgets standing in for the Windows dialog controls.
#include "TemplateWidgets.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cstring>

#include "AppIcon.h"
#include "DialogUnits.h"

namespace orlup {

namespace {

using layout::ControlTemplate;
namespace Style = layout::Style;

constexpr const char* ControlIdProperty = "orlupControlId";
// The icon static sizes itself to the icon, whatever the template says.
constexpr int IconSize = 32;

bool IsClass(const ControlTemplate& control, const char* windowClass) {
    return std::strcmp(control.windowClass, windowClass) == 0;
}

uint32_t Kind(const ControlTemplate& control) { return control.style & Style::KindMask; }

QWidget* MakeButton(const ControlTemplate& control, QWidget* parent) {
    if (Kind(control) == Style::GroupBox) return new QGroupBox(control.text, parent);
    auto* button = new QPushButton(control.text, parent);
    // Like the dialog manager: a focused push button takes Enter, otherwise the default does
    // (Qt makes a dialog's push buttons auto-default).
    button->setDefault(Kind(control) == Style::DefPushButton);
    return button;
}

QWidget* MakeStatic(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(control.text, parent);
    label->setWordWrap(true);
    // The picture takes the place of the text.
    if (Kind(control) == Style::StaticIcon) label->setPixmap(AppIcon().pixmap(IconSize, IconSize));
    return label;
}

QWidget* MakeProgress(QWidget* parent) {
    auto* progress = new QProgressBar(parent);  // 0 to 100, as the Windows control
    progress->setValue(0);
    progress->setTextVisible(false);  // the Windows control shows no text of its own
    return progress;
}

QWidget* MakeControl(const ControlTemplate& control, QWidget* parent) {
    if (IsClass(control, layout::ButtonClass)) return MakeButton(control, parent);
    if (IsClass(control, layout::EditClass)) return new QLineEdit(control.text, parent);
    if (IsClass(control, layout::ProgressClass)) return MakeProgress(parent);
    return MakeStatic(control, parent);
}

void Place(QWidget& widget, const ControlTemplate& control, const DialogUnits& units) {
    QRect rect = units.ToPixels(control.x, control.y, control.width, control.height);
    if (IsClass(control, layout::StaticClass) && Kind(control) == Style::StaticIcon) {
        rect.setSize(QSize(IconSize, IconSize));
    }
    widget.setGeometry(rect);
}

}  // namespace

void ApplyDialogFrame(QDialog& dialog, const layout::DialogTemplate& dialogTemplate) {
    // Neither template asks for a minimise or maximise box.
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog.setWindowTitle(dialogTemplate.caption);
    const DialogUnits units(dialog.font());
    dialog.setFixedSize(units.ToPixels(dialogTemplate.width, dialogTemplate.height));
}

void BuildControls(QDialog& dialog, const layout::DialogTemplate& dialogTemplate) {
    const DialogUnits units(dialog.font());
    // Made in template order, which Qt's focus chain follows; its focus policies match the
    // templates' tab stops: buttons and edit boxes take the focus, the rest does not.
    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        const ControlTemplate& control = dialogTemplate.controls[i];
        QWidget* widget = MakeControl(control, &dialog);
        widget->setProperty(ControlIdProperty, control.id);
        Place(*widget, control, units);
        // Each later control goes below the earlier ones, so that the group box, last but
        // one, lies under the buttons it frames and never takes their clicks.
        widget->lower();
    }
}

QWidget* FindControl(const QWidget& dialog, int id) {
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property(ControlIdProperty).toInt() == id) return child;
    }
    return nullptr;
}

int ControlId(const QWidget& control) { return control.property(ControlIdProperty).toInt(); }

}  // namespace orlup

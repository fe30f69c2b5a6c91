// Template-driven construction of Qt widgets standing in for the Windows dialog controls.
#include "TemplateWidgets.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cstring>

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
    // Like the dialog manager: a focused push button takes Enter, otherwise the default does.
    button->setAutoDefault(true);
    button->setDefault(Kind(control) == Style::DefPushButton);
    return button;
}

QWidget* MakeStatic(const ControlTemplate& control, QWidget* parent, const QIcon& icon) {
    auto* label = new QLabel(parent);
    if (Kind(control) == Style::StaticIcon) {
        label->setPixmap(icon.pixmap(IconSize, IconSize));
        return label;
    }
    label->setTextFormat(Qt::PlainText);
    label->setText(control.text);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QWidget* MakeProgress(QWidget* parent) {
    auto* progress = new QProgressBar(parent);
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);  // the Windows control shows no text of its own
    return progress;
}

QWidget* MakeControl(const ControlTemplate& control, QWidget* parent, const QIcon& icon) {
    if (IsClass(control, layout::ButtonClass)) return MakeButton(control, parent);
    if (IsClass(control, layout::EditClass)) return new QLineEdit(control.text, parent);
    if (IsClass(control, layout::ProgressClass)) return MakeProgress(parent);
    return MakeStatic(control, parent, icon);
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
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dialogTemplate.style & Style::MinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    if (dialogTemplate.style & Style::MaximizeBox) flags |= Qt::WindowMaximizeButtonHint;
    dialog.setWindowFlags(flags);
    dialog.setWindowTitle(dialogTemplate.caption);
    dialog.setSizeGripEnabled(false);
    const DialogUnits units(dialog.font());
    dialog.setFixedSize(units.ToPixels(dialogTemplate.width, dialogTemplate.height));
}

void BuildControls(QDialog& dialog, const layout::DialogTemplate& dialogTemplate,
                   const QIcon& icon) {
    const DialogUnits units(dialog.font());
    QWidget* previousTabStop = nullptr;
    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        const ControlTemplate& control = dialogTemplate.controls[i];
        QWidget* widget = MakeControl(control, &dialog, icon);
        widget->setProperty(ControlIdProperty, control.id);
        Place(*widget, control, units);
        // Each later control goes below the earlier ones, so that the group box, last but
        // one, lies under the buttons it frames and never takes their clicks.
        widget->lower();
        const bool tabStop = (control.style & Style::TabStop) != 0;
        widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
        if (tabStop && previousTabStop != nullptr) QWidget::setTabOrder(previousTabStop, widget);
        if (tabStop) previousTabStop = widget;
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

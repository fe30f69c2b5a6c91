// Accessible names and descriptions of the main dialog's controls, and a progress bar that
// says its percentage: Qt's own says a bare number and reports no change.
#include "AccessibleControls.h"

#include <QAccessibleWidget>
#include <QProgressBar>
#include <mutex>

#include "TemplateWidgets.h"

namespace orlup {

namespace {

struct ControlText {
    int id;
    const char* name;
    const char* description;
};

constexpr ControlText ControlTexts[] = {
    {layout::IdOk, "Exit", "Closes Orlup; a transfer under way stops at once"},
    {IDC_UPDATE_FLASH, "Update Flash",
     "Sends the flash image to the one attached printer of its model"},
    {IDC_IMAGE_PATH, "Flash image path",
     "Full path of the flash image; the first four characters of its name tell the model"},
    {IDC_SELECT_FILE, "Select File", "Chooses the flash image in a file dialog"},
    {IDC_PROGRESS, "Transfer progress", "Share of the flash image sent to the printer"},
};

class PercentProgress : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit PercentProgress(QWidget* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text type) const override {
        // The bar runs from 0 to 100, so its value is the percentage.
        if (type != QAccessible::Value) return QAccessibleWidget::text(type);
        return QString::number(Bar().value()) + '%';
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return Bar().value(); }
    void setCurrentValue(const QVariant&) override {}  // only the transfer moves it
    QVariant maximumValue() const override { return Bar().maximum(); }
    QVariant minimumValue() const override { return Bar().minimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    const QProgressBar& Bar() const { return *static_cast<const QProgressBar*>(object()); }
};

// Factories installed later are asked first, so this one wins over Qt's for a QProgressBar.
QAccessibleInterface* MakePercentProgress(const QString& className, QObject* object) {
    if (className != QLatin1String("QProgressBar")) return nullptr;
    return new PercentProgress(static_cast<QWidget*>(object));
}

}  // namespace

void UsePercentProgress() {
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(MakePercentProgress); });
}

void DescribeControls(QWidget& dialog) {
    for (const ControlText& text : ControlTexts) {
        QWidget* control = FindControl(dialog, text.id);
        control->setAccessibleName(QString::fromUtf8(text.name));
        control->setAccessibleDescription(QString::fromUtf8(text.description));
    }
}

void AnnounceValueChanges(QProgressBar& progress) {
    QObject::connect(&progress, &QProgressBar::valueChanged, &progress, [&progress](int value) {
        QAccessibleValueChangeEvent event(&progress, value);
        QAccessible::updateAccessibility(&event);
    });
}

}  // namespace orlup

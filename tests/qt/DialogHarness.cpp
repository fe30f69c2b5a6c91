// The dialog test rig and the watcher that answers modal boxes from inside their loops.
#include "DialogHarness.h"

#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <limits>

#include "TemplateWidgets.h"

namespace orlup::test {

std::optional<QString> ScriptedChooser::ChooseFile(QWidget*, const FileRequest& request) {
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    const bool cancelled = !answers.front().has_value();
    // Copied out as a plain QString: GCC 12 misreads a moved-from optional<QString> as unset.
    const QString path = cancelled ? QString() : *answers.front();
    answers.pop_front();
    if (cancelled) return std::nullopt;
    return path;
}

bool ScriptedHelp::ShowHelp() {
    ++calls;
    return shows;
}

ModalWatcher::ModalWatcher(int holdMs) : holdMs_(holdMs) {
    connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
    poll_.start(2);
}

void ModalWatcher::Poll() {
    QWidget* top = QApplication::activePopupWidget();
    if (top == nullptr) top = QApplication::activeModalWidget();
    if (top == nullptr) return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (auto& [window, shownAt] : known_) {
        if (window != top) continue;
        if (!onShown && now - shownAt >= holdMs_) {
            shownAt = std::numeric_limits<qint64>::max();  // dismissed once only
            Dismiss(top);
        }
        return;
    }
    known_.emplace_back(top, now);
    SeenWindow window;
    window.className = top->metaObject()->className();
    window.title = top->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(top)) {
        window.text = box->text();
        window.icon = box->icon();
        window.buttons = box->standardButtons();
    }
    window.parent = top->parentWidget();
    window.modal = top->isModal();
    window.geometry = top->geometry();
    seen.push_back(window);
    if (log != nullptr) log->append("box shown");
    // Handled apart from this poll, whose timer could not fire inside a loop the handler opens.
    if (onShown) {
        QMetaObject::invokeMethod(
            this,
            [this, window = QPointer<QWidget>(top)] {
                if (window) onShown(window);
            },
            Qt::QueuedConnection);
    }
}

void ModalWatcher::Dismiss(QWidget* window) {
    if (log != nullptr) log->append("box closed");
    window->close();
}

DialogRig::DialogRig() {
    dialog = std::make_unique<UpdaterDialog>(DialogSeams{files.System(), chooser, help});
    dialog->show();
    dialog->activateWindow();
    (void)QTest::qWaitForWindowActive(dialog.get());
}

DialogRig::~DialogRig() = default;

std::string DialogRig::AddPrinter(int productId, const std::string& serial) {
    const std::string path = "printer-" + serial;
    files.AddDevice(path, 0x044e, productId);
    return path;
}

FakeImage& DialogRig::AddImage(const std::string& path, uint32_t size) {
    FakeImage& image = files.AddImage(path);
    image.bytes.resize(size);
    for (uint32_t i = 0; i < size; ++i) image.bytes[i] = static_cast<uint8_t>(i * 7);
    return image;
}

QPushButton* DialogRig::Button(int id) const {
    return static_cast<QPushButton*>(FindControl(*dialog, id));
}

QLineEdit* DialogRig::PathEdit() const {
    return static_cast<QLineEdit*>(FindControl(*dialog, IDC_IMAGE_PATH));
}

QProgressBar* DialogRig::Progress() const {
    return static_cast<QProgressBar*>(FindControl(*dialog, IDC_PROGRESS));
}

void DialogRig::StartUpdate(const std::string& path) {
    PathEdit()->setText(QString::fromStdString(path));
    Button(IDC_UPDATE_FLASH)->click();
}

}  // namespace orlup::test

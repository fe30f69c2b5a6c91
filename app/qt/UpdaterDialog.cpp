// The main dialog on Qt: template layout, the five host services and the window-menu command.
#include "UpdaterDialog.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>

#include "AboutDialog.h"
#include "AccessibleControls.h"
#include "AppMessageBox.h"
#include "HistoryFile.h"
#include "TemplateWidgets.h"
#include "text/ErrorCodes.h"

namespace orlup {

namespace {

template <typename Widget>
Widget* Control(const QWidget& dialog, int id) {
    return static_cast<Widget*>(FindControl(dialog, id));
}

QString FromNarrow(const std::string& text) { return QString::fromLocal8Bit(text); }

std::string ToNarrow(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace

UpdaterDialog::UpdaterDialog(const DialogSeams& seams, QWidget* parent)
    : QDialog(parent), seams_(seams), flash_(*this, seams.system) {
    ApplyDialogFrame(*this, layout::UpdaterTemplate);
    // So that nobody takes a rehearsal for an update of a real printer.
    if (seams.simulatedPrinters) {
        setWindowTitle(windowTitle() + QStringLiteral(" (simulated printers)"));
    }
    UsePercentProgress();
    BuildControls(*this, layout::UpdaterTemplate);
    DescribeControls(*this);
    exitButton_ = Control<QPushButton>(*this, layout::IdOk);
    updateButton_ = Control<QPushButton>(*this, IDC_UPDATE_FLASH);
    pathEdit_ = Control<QLineEdit>(*this, IDC_IMAGE_PATH);
    selectButton_ = Control<QPushButton>(*this, IDC_SELECT_FILE);
    progress_ = Control<QProgressBar>(*this, IDC_PROGRESS);
    AnnounceValueChanges(*progress_);
    ConnectControls();
    InstallMenuKey();
    InstallHelpKey(*this, seams_.help);  // "E&xit" takes the focus first, being made first
}

UpdaterDialog::~UpdaterDialog() { StopPreparing(); }

void UpdaterDialog::ConnectControls() {
    connect(exitButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(updateButton_, &QPushButton::clicked, this, [this] { OnUpdateFlash(); });
    connect(selectButton_, &QPushButton::clicked, this, [this] { OnSelectFile(); });
}

// Right button and the Menu key arrive as context-menu events; Shift+F10 does not on X11.
void UpdaterDialog::InstallMenuKey() {
    auto* key = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(key, &QShortcut::activated, this,
            [this] { ShowWindowMenu(mapToGlobal(rect().center())); });
}

void UpdaterDialog::contextMenuEvent(QContextMenuEvent* event) {
    ShowWindowMenu(event->globalPos());
}

// The window manager owns the title-bar menu, so the About item lives in this menu instead
// and travels the same road as a system command would.
void UpdaterDialog::ShowWindowMenu(const QPoint& globalPos) {
    QMenu menu(this);
    QAction* about = menu.addAction(layout::AboutItemText);
    if (menu.exec(globalPos) == about) OnSysCommand(IDM_ABOUT);
}

void UpdaterDialog::OnSysCommand(uint32_t id) {
    if ((id & 0xFFF0) == IDM_ABOUT) {
        AboutDialog about(seams_.help, this);
        about.exec();
    } else if (id == SC_CLOSE) {
        close();
    }
}

void UpdaterDialog::OnSelectFile() {
    const FileRequest request{
        layout::FileDialogTitle,
        QCoreApplication::applicationDirPath(),
        {{layout::FlashFilterLabel, QStringLiteral("*.hex")},
         {layout::AllFilterLabel, QStringLiteral("*")}},
    };
    const std::optional<QString> chosen = seams_.fileChooser.ChooseFile(this, request);
    if (!chosen) return;
    const std::string path = ToNarrow(*chosen);
    // A path the Windows dialog's buffer could not hold comes back as a cancellation there.
    if (path.size() > layout::MaxChosenPath) return;
    SetImagePath(path);
}

void UpdaterDialog::SetImagePath(const std::string& path) {
    imagePath_ = path;
    pathEdit_->setText(FromNarrow(imagePath_));
    pathEdit_->setCursorPosition(0);  // a set text shows its start, as a Windows edit box does
}

std::string UpdaterDialog::TakeImagePath() {
    imagePath_ = ToNarrow(pathEdit_->text());
    return imagePath_;
}

void UpdaterDialog::ShowMessage(const std::string& text) { ShowAppMessage(this, FromNarrow(text)); }

void UpdaterDialog::SetProgress(uint32_t position) {
    // QProgressBar ignores a value beyond its range; the Windows control shows it full.
    const auto maximum = static_cast<uint32_t>(progress_->maximum());
    progress_->setValue(static_cast<int>(std::min(position, maximum)));
}

// Qt never fires a timer again while its own handler runs, so a message box shown from a tick
// would stop the ticks that the flash update relies on inside the box. Each tick is therefore
// posted and handled apart from the timer, as WM_TIMER is.
uint32_t UpdaterDialog::SetTimer(uint32_t id, uint32_t periodMs) {
    QTimer*& timer = timers_[id];
    if (timer == nullptr) {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id] { PostTick(id); });
    }
    timer->start(static_cast<int>(periodMs));
    // A timer Qt refused still counts as active, with the id 0.
    return timer->timerId() != 0 ? id : 0;
}

void UpdaterDialog::PostTick(uint32_t id) {
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            if (timers_.at(id)->isActive()) flash_.OnTimer(id);  // a stopped timer's is dropped
        },
        Qt::QueuedConnection);
}

// Called from inside a tick, so the timer is stopped here and only deleted with the dialog, after
// the flash update: no event is handled in between, so no tick reaches a destroyed update.
void UpdaterDialog::KillTimer(uint32_t id) {
    const auto timer = timers_.find(id);
    if (timer != timers_.end()) timer->second->stop();
}

void UpdaterDialog::EnableButtons(bool enable) {
    selectButton_->setEnabled(enable);
    updateButton_->setEnabled(enable);
}

void UpdaterDialog::OnUpdateFlash() {
    const std::string path = ToNarrow(pathEdit_->text());
    // A path the flash update refuses by its name alone has nothing to read.
    if (seams_.preparer == nullptr || ModelForPath(path) == nullptr) return StartAttempt();
    preparedPath_ = path;
    EnableButtons(false);
    preparing_ = std::thread([this, path] {
        seams_.preparer->Take(path, [this] { return cancelPreparing_.load(); });
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!preparing_.joinable()) return;  // the dialog closed meanwhile
                preparing_.join();
                prepared_ = seams_.preparer->Serve();
                EnableButtons(true);
                StartAttempt();
            },
            Qt::QueuedConnection);
    });
}

void UpdaterDialog::StartAttempt() {
    attemptStart_ = UtcTimestamp(std::chrono::system_clock::now());
    flash_.OnUpdateFlash();
}

// A queued end of the reading is dropped with the dialog, so the thread is waited for here.
void UpdaterDialog::StopPreparing() {
    cancelPreparing_ = true;
    if (preparing_.joinable()) preparing_.join();
}

void UpdaterDialog::AttemptEnded(const AttemptOutcome& outcome) { Record(outcome); }

void UpdaterDialog::Record(const AttemptOutcome& outcome) {
    if (flash_.imagePath().empty()) return;  // a click before any image was named
    const FirmwareModel* model = ModelForPath(flash_.imagePath());
    AttemptRecord record;
    record.time = attemptStart_;
    record.model = model != nullptr ? model->modelName : "";
    if (outcome.printer) {
        record.serial = outcome.printer->serial;
        record.busPort = outcome.printer->busPort;
    }
    record.image = flash_.imagePath();
    // Unless the image was not read, or the path box was changed while it was.
    const bool prepared = preparedPath_ == flash_.imagePath();
    record.size = prepared ? prepared_.size : outcome.imageSize;
    record.sha256 = prepared ? prepared_.sha256 : "";
    record.bytesSent = outcome.bytesSent;
    record.done = outcome.completed;
    record.result = outcome.completed ? "done" : outcome.message;
    record.code = outcome.errorCode;
    for (AttemptRecorder* recorder : seams_.recorders) recorder->Record(record);
}

void UpdaterDialog::accept() {
    TakeImagePath();
    QDialog::accept();
}

void UpdaterDialog::done(int result) {
    for (auto& entry : timers_) entry.second->stop();
    StopPreparing();
    // Closing cuts a transfer short, which the flash update does not report as ended.
    if (flash_.busy()) {
        AttemptOutcome outcome = flash_.outcome();
        outcome.message = "Transfer interrupted after " + std::to_string(outcome.bytesSent) +
                          " of " + std::to_string(outcome.imageSize) +
                          " bytes: the dialog was closed";
        outcome.errorCode = ErrorCode::OperationAborted;
        Record(outcome);
    }
    QDialog::done(result);
}

}  // namespace orlup

// The help page in a QTextBrowser window: one instance, left open beside the dialogs.
#include "HelpWindow.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

#include "AppMessageBox.h"
#include "res/DialogLayout.h"

namespace orlup {

namespace {

constexpr int WindowWidth = 640;
constexpr int WindowHeight = 560;

}  // namespace

HelpWindow::HelpWindow(QString programFolder) : programFolder_(std::move(programFolder)) {}

HelpWindow::~HelpWindow() = default;

QString HelpWindow::PagePath() const {
    for (const QString& folder :
         {programFolder_,
          QDir::cleanPath(programFolder_ + QStringLiteral("/" ORLUP_HELP_FROM_BIN))}) {
        const QFileInfo page(folder + QStringLiteral("/" ORLUP_HELP_PAGE));
        if (page.isFile() && page.isReadable()) return page.absoluteFilePath();
    }
    return QString();
}

bool HelpWindow::Show() {
    const QString page = PagePath();
    if (page.isEmpty()) return false;
    if (!browser_) Create();
    // Loaded again only when the page moved, so that an open window keeps its place.
    if (browser_->source() != QUrl::fromLocalFile(page)) {
        browser_->setSource(QUrl::fromLocalFile(page));
        browser_->setWindowTitle(browser_->documentTitle());
    }
    browser_->show();
    browser_->raise();
    browser_->activateWindow();
    return true;
}

void HelpWindow::Create() {
    browser_ = std::make_unique<QTextBrowser>();
    browser_->resize(WindowWidth, WindowHeight);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), browser_.get());
    QObject::connect(escape, &QShortcut::activated, browser_.get(), &QWidget::close);
}

void InstallHelpKey(QDialog& dialog, HelpWindow& help) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), &dialog);
    QObject::connect(key, &QShortcut::activated, &dialog, [&dialog, &help] {
        if (!help.Show()) ShowAppMessage(&dialog, layout::HelpFailedText);
    });
}

}  // namespace orlup

// The real UpdaterDialog on Qt's offscreen platform over a fake platform: keys, messages,
// transfers, files, help, closing, and the command line.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <atomic>
#include <QTimer>
#include <functional>
#include <memory>
#include <sstream>

#include "AboutDialog.h"
#include "CommandLine.h"
#include "DialogUnits.h"
#include "TemplateWidgets.h"
#include "UpdaterApp.h"
#include "UpdaterDialog.h"
#include "fakes/FakePlatform.h"
#include "text/ErrorCodes.h"
#include "update/FlashTexts.h"

using namespace orlup;
using namespace orlup::test;

// Records each modal window or popup menu as it comes up, by its title, and for a message box
// "title: text on owner's title", marked when it lacks the warning icon, OK alone, plain text or
// modality. Then hands it to onShown, which closes it unless told otherwise. Polls, so that it
// works inside the windows' own loops too.
struct Watcher : QObject {
    QStringList seen;
    std::function<void(QWidget*)> onShown = [](QWidget* window) { window->close(); };
    QTimer poll;
    Watcher() {
        connect(&poll, &QTimer::timeout, this, [this] {
            QWidget* top = QApplication::activePopupWidget();
            if (top == nullptr) top = QApplication::activeModalWidget();
            if (top == nullptr || top->property("watched").toBool()) return;
            top->setProperty("watched", true);
            seen << top->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(top)) {
                seen.last() += ": " + box->text() + " on " + top->parentWidget()->windowTitle();
                if (box->icon() != QMessageBox::Warning || !top->isModal() ||
                    box->standardButtons() != QMessageBox::Ok ||
                    box->textFormat() != Qt::PlainText) {
                    seen.last() += " (unlike every other box)";
                }
            }
            QTimer::singleShot(0, top, [this, top] { onShown(top); });
        });
        poll.start(2);
    }
};

/// Reads an image until the dialog's own loop has run that often meanwhile, which it could not
/// if the reading held its thread.
struct SlowPreparer : ImagePreparer {
    void Take(const std::string&, const std::function<bool()>& cancelled) override {
        for (int i = 0; i < 2000 && loopRuns < loopRunsWanted && !cancelled(); ++i) {
            QThread::msleep(1);
        }
        loopRanMeanwhile = loopRuns >= loopRunsWanted;
    }
    Prepared Serve() override { return {1234, "digest"}; }
    std::atomic<int> loopRuns{0};
    int loopRunsWanted = 0;
    bool loopRanMeanwhile = false;
};

struct Records : AttemptRecorder {
    void Record(const AttemptRecord& record) override { kept.push_back(record); }
    std::vector<AttemptRecord> kept;
};

// One dialog, shown and active, with one printer of that product; the help page is looked for
// in programDir/bin and programDir/share/orlup.
struct Rig {
    FakePlatform files;
    FakeDevice& printer;
    QtFileChooser chooser;
    QTemporaryDir programDir;
    HelpWindow help{programDir.path() + "/bin"};
    SlowPreparer preparer;
    Records records;
    std::unique_ptr<UpdaterDialog> dialog = std::make_unique<UpdaterDialog>(
        DialogSeams{files.System(), chooser, help, false, {&records}, &preparer});

    explicit Rig(int productId = 0x200a) : printer(files.AddDevice("printer", 0x044e, productId)) {
        dialog->show();
        Activate(dialog.get());
    }
    static void Activate(QWidget* window) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    template <typename Widget = QWidget>
    Widget* Control(int id) {
        return static_cast<Widget*>(FindControl(*dialog, id));
    }
    void StartUpdate(const std::string& path) {
        Control<QLineEdit>(IDC_IMAGE_PATH)->setText(QString::fromStdString(path));
        Control<QPushButton>(IDC_UPDATE_FLASH)->click();
    }
};

// A message box as the watcher sees it; the test binary's name stands where the program's own
// ("orlup") would.
const QString Caption = QStringLiteral("orlup-qt-tests");
QString Box(const QString& text, const QString& owner = "Ilvaran Printer Firmware Updater") {
    return Caption + ": " + text + " on " + owner;
}

// Focus, tab order and what assistive technology hears, in a dialog started as the program does;
// closed at the end, or at the first failure.
void ExpectReadyForKeyboardAndScreenReader(QWidget& dialog) {
    const auto closing = qScopeGuard([&] { dialog.close(); });
    QCOMPARE(dialog.windowTitle(), "Ilvaran Printer Firmware Updater (simulated printers)");
    QCOMPARE(dialog.windowIcon().availableSizes(), QList<QSize>({{32, 32}, {16, 16}}));
    QCOMPARE(QGuiApplication::desktopFileName(), "org.orlup.Orlup");  // the desktop entry's
    QCOMPARE(static_cast<QLineEdit*>(FindControl(dialog, IDC_IMAGE_PATH))->text(), "/i/0493.hex");
    QCOMPARE(dialog.windowModality(), Qt::WindowModal);  // to no window: the help window is free
    QCOMPARE(dialog.windowFlags() & (Qt::CustomizeWindowHint | Qt::WindowMinMaxButtonsHint),
             Qt::CustomizeWindowHint);  // neither a minimise nor a maximise box
    QVERIFY(!static_cast<QProgressBar*>(FindControl(dialog, IDC_PROGRESS))->isTextVisible());
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());     // a fixed size
    QWidget* update = FindControl(dialog, IDC_UPDATE_FLASH);  // above the group box around it
    QCOMPARE(dialog.childAt(update->geometry().center()), update);
    QCOMPARE(QApplication::focusWidget(), FindControl(dialog, layout::IdOk));
    QSet<QString> names;
    QAccessibleInterface* control = nullptr;
    for (int id : {IDC_UPDATE_FLASH, IDC_IMAGE_PATH, IDC_SELECT_FILE, layout::IdOk, IDC_PROGRESS}) {
        control = QAccessible::queryAccessibleInterface(FindControl(dialog, id));
        QVERIFY(!control->text(QAccessible::Description).isEmpty());
        QCOMPARE(control->role() == QAccessible::ProgressBar, id == IDC_PROGRESS);
        names << control->text(QAccessible::Name);
        if (id == IDC_PROGRESS) break;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), FindControl(dialog, id));
    }
    // The bar's value, not only its text, reaches assistive technology.
    QVERIFY(names.size() == 5 && !names.contains(QString()) && control->valueInterface());
}

class UpdaterDialogTest : public QObject {
    Q_OBJECT

private slots:
    // Qt's own dialog, opened four times: Cancel, a name without a dot under "All Files(*.*)", the
    // longest path the Windows dialog hands back, and one longer, which counts as Cancel. First,
    // before anything else in the process reads Qt's user settings.
    void fileSelectionWritesNothing() {
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
        Rig rig;
        auto* edit = rig.Control<QLineEdit>(IDC_IMAGE_PATH);
        edit->setText("typed by hand");
        const QString chosen = QCoreApplication::applicationFilePath();  // no dot, like 0493fw
        const QString longest = "/x" + QString("/directory").repeated(25) + "/0493ab";
        const QStringList typed = {"", QFileInfo(chosen).fileName(), longest, longest + 'c'};
        QStringList folders, filters;  // each label with the patterns Qt reads from it
        Watcher watcher;
        watcher.onShown = [&](QWidget* window) {
            auto* combo = window->findChild<QComboBox*>("fileTypeCombo");
            folders << static_cast<QFileDialog*>(window)->directory().absolutePath();
            if (watcher.seen.size() == 1) return QTest::keyClick(window, Qt::Key_Escape);
            auto* model = window->findChild<QFileSystemModel*>();
            filters << combo->currentText() + ' ' + model->nameFilters().join(' ');
            QTest::keyClick(combo, Qt::Key_Down);
            filters << combo->currentText() + ' ' + model->nameFilters().join(' ');
            auto* name = window->findChild<QLineEdit*>("fileNameEdit");
            name->setText(typed.at(watcher.seen.size() - 1));
            QTest::keyClick(name, Qt::Key_Return);
        };
        for (const QString& shown : {QString("typed by hand"), chosen, longest, longest}) {
            rig.Control<QPushButton>(IDC_SELECT_FILE)->click();
            QCOMPARE(edit->text(), shown);
        }
        QCOMPARE(edit->cursorPosition(), 0);  // a chosen path shows its start
        QCOMPARE(rig.dialog->imagePath(), longest.toStdString());
        QCOMPARE(folders, QStringList(4, QCoreApplication::applicationDirPath()));
        // "*.*" would hide 0493fw.
        QCOMPARE(filters.mid(0, 2), QStringList({"Flash Files(*.hex) *.hex", "All Files(*.*) *"}));
        QVERIFY(QDir(home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    void startsReadyForKeyboardAndScreenReader() {
        FakePlatform files;
        QtFileChooser chooser;
        HelpWindow help{QString()};
        Watcher watcher;
        watcher.onShown = [](QWidget* dialog) { ExpectReadyForKeyboardAndScreenReader(*dialog); };
        QVERIFY(!UpdaterApp::InitInstance({files.System(), chooser, help, true, {}, nullptr},
                                          "/i/0493.hex"));
        QCOMPARE(watcher.seen.size(), std::size_t(1));
        // Like MulDiv: half a pixel and more rounds up.
        QCOMPARE(DialogUnits(7, 13).ToPixels(217, 98, 50, 14), QRect(380, 159, 88, 23));
    }

    // A transfer ends in one box on the dialog's convention, shown from a tick as a failure's
    // would be (the failures and their texts are the core's); E&xit ends it at once, without one.
    // The image is read first off the dialog's thread, and the attempt is recorded either way.
    void transferMovesProgressAndButtons_data() {
        QTest::addColumn<uint32_t>("size");
        QTest::addColumn<QStringList>("percentages");  // what the bar tells assistive technology
        QTest::newRow("2500 bytes") << 2500u << QStringList{"40%", "81%", "100%"};
        // Positions 102 and 105 show a full bar rather than being dropped.
        QTest::newRow("1050 bytes") << 1050u << QStringList{"100%"};
        QTest::newRow("E&xit after 4 KiB of 400") << 400u * 1024 << QStringList();
    }

    void transferMovesProgressAndButtons() {
        QFETCH(uint32_t, size);
        QFETCH(QStringList, percentages);
        Rig rig(0x1301);
        rig.files.AddImage("/images/0498rev3.hex").bytes.resize(size);
        auto* bar = rig.Control<QProgressBar>(IDC_PROGRESS);
        QStringList said;
        connect(bar, &QProgressBar::valueChanged, [&] {
            said << QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Value);
        });
        QWidget* select = rig.Control(IDC_SELECT_FILE);
        bool enabledInBox = false;
        Watcher watcher;
        watcher.onShown = [&](QWidget* box) {
            // The ticks that enable the buttons again arrive while the box is still open.
            enabledInBox = QTest::qWaitFor([&] { return select->isEnabled(); }, 2000);
            box->close();
        };
        QTimer ticking;
        connect(&ticking, &QTimer::timeout, [&] { ++rig.preparer.loopRuns; });
        ticking.start(1);
        rig.preparer.loopRunsWanted = 5;
        rig.StartUpdate("/images/0498rev3.hex");
        QVERIFY(!rig.Control(IDC_UPDATE_FLASH)->isEnabled() && !select->isEnabled());
        const int searches = rig.files.listings;
        QTest::keyClick(rig.dialog.get(), Qt::Key_U, Qt::AltModifier);  // disabled: no attempt
        QCOMPARE(rig.files.listings, searches);
        QTRY_VERIFY(rig.files.listings > 0);
        QVERIFY(rig.preparer.loopRanMeanwhile);
        if (percentages.isEmpty()) {
            QTRY_VERIFY(rig.dialog->flashUpdate().bytesSent() >= 4096);
            rig.Control<QPushButton>(layout::IdOk)->click();
            const std::size_t received = rig.printer.received.size();
            QTest::qWait(60);
            QVERIFY(rig.printer.received.size() == received && watcher.seen.empty());
        } else {
            QTRY_VERIFY(enabledInBox);
            QCOMPARE(watcher.seen, QStringList{Box(FlashTexts::Completion)});
            QCOMPARE(said, percentages);
        }
        for (const QTimer* timer : rig.dialog->findChildren<QTimer*>()) QVERIFY(!timer->isActive());
        rig.dialog.reset();
        QCOMPARE(rig.files.OpenHandles(), 0);
        QCOMPARE(rig.records.kept.size(), std::size_t(1));
        const AttemptRecord& record = rig.records.kept.front();
        QCOMPARE(record.done, !percentages.isEmpty());
        QCOMPARE(record.code, percentages.isEmpty() ? ErrorCode::OperationAborted : 0u);
        QVERIFY(record.done ? record.result == "done"
                            : QString::fromStdString(record.result).endsWith("dialog was closed"));
        QVERIFY(record.model == "Ilvaran-II" && record.image == "/images/0498rev3.hex");
        QVERIFY(record.size == 1234 && record.sha256 == "digest");
    }

    // What each way of giving a window command (a key, where one is named) leads to: the About
    // box (with its icon, and closed by its own button), a message, nothing, or the end with the
    // path box's text taken or not.
    void windowCommands_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("result");
        const QString about = "About Orlup", taken = "taken", notTaken = "not taken";
        QTest::newRow("0x001F") << "31" << about;
        QTest::newRow("0x0020") << "32" << QString("nothing");
        QTest::newRow("right button") << "mouse" << about;
        QTest::newRow("Shift+F10") << "Shift+F10" << about;
        QTest::newRow("Enter in the edit box") << "Return" << taken;
        QTest::newRow("Enter on Update Flash") << "Update Return" << Caption;  // a message
        QTest::newRow("Esc") << "Escape" << notTaken;
        QTest::newRow("SC_CLOSE") << QString::number(UpdaterDialog::SC_CLOSE) << notTaken;
    }

    void windowCommands() {
        QFETCH(QString, how);
        QFETCH(QString, result);
        Rig rig;
        Watcher watcher;
        bool shownWell = true;
        watcher.onShown = [&](QWidget* window) {  // the menu's item, or the box's own button
            if (qobject_cast<QMenu*>(window)) return QTest::keyClick(window, Qt::Key_A);
            bool icon = false;  // in a static of its own size
            for (QLabel* label : window->findChildren<QLabel*>()) {
                icon |= label->pixmap().size() == QSize(32, 32) && label->width() == 32;
            }
            window->findChild<QPushButton*>()->click();
            shownWell &= !window->isVisible() && (icon || !qobject_cast<AboutDialog*>(window));
            window->close();
        };
        auto* edit = rig.Control<QLineEdit>(IDC_IMAGE_PATH);
        edit->setText("/images/0493.hex");
        edit->setFocus();
        QContextMenuEvent click(QContextMenuEvent::Mouse, {}, rig.dialog->mapToGlobal(QPoint()));
        if (how == "mouse") QApplication::sendEvent(rig.dialog.get(), &click);
        if (how.startsWith("Update")) rig.Control(IDC_UPDATE_FLASH)->setFocus();
        if (how[0].isUpper()) QTest::keySequence(QApplication::focusWidget(), how.section(' ', -1));
        if (how.toInt() > 0) rig.dialog->OnSysCommand(how.toUInt(), 0);
        QTest::qWait(50);
        const QString seen =
            watcher.seen.empty() ? "nothing" : watcher.seen.last().section(':', 0, 0);
        const bool taken = rig.dialog->imagePath() == "/images/0493.hex";
        QCOMPARE(rig.dialog->isVisible() ? seen : taken ? "taken" : "not taken", result);
        QVERIFY(shownWell);
    }

    void helpKey_data() {
        QTest::addColumn<QString>("folder");  // where the page lies, if anywhere
        QTest::newRow("beside the program") << "bin";
        QTest::newRow("installed") << "share/orlup";
        QTest::newRow("missing") << "bin/orlup-help.html";  // a folder of that name instead
    }

    // F1 in the About box, then in the main dialog.
    void helpKey() {
        QFETCH(QString, folder);
        Rig rig;
        QDir(rig.programDir.path()).mkpath(folder);
        QFile::copy(ORLUP_HELP_SOURCE, rig.programDir.path() + '/' + folder + "/orlup-help.html");
        Watcher watcher;
        bool escClosedIt = false;  // the help window takes keys although the About box is modal
        watcher.onShown = [&](QWidget* window) {
            if (qobject_cast<AboutDialog*>(window) != nullptr) {
                QTest::keyClick(window, Qt::Key_F1);
                QTextBrowser* help = rig.help.browser();
                if (help != nullptr && QTest::qWaitForWindowActive(help)) {
                    QTest::keyClick(help->windowHandle(), Qt::Key_Escape);
                    escClosedIt = !help->isVisible();
                }
            }
            window->close();
        };
        rig.dialog->OnSysCommand(IDM_ABOUT, 0);
        Rig::Activate(rig.dialog.get());
        QTest::keyClick(rig.dialog.get(), Qt::Key_F1);
        QTextBrowser* window = rig.help.browser();
        if (folder.endsWith(".html")) {
            const QString failed = "Failed to launch help.";
            QCOMPARE(watcher.seen.mid(1), QStringList({Box(failed, "About Orlup"), Box(failed)}));
            return;
        }
        QVERIFY(escClosedIt && window->isVisible() && !window->isModal());  // shown again
        QCOMPARE(window->windowTitle(), "Orlup Help");
        Rig::Activate(rig.dialog.get());  // F1 again brings the open window to the front
        QTest::keyClick(rig.dialog.get(), Qt::Key_F1);
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    // DISPLAY and WAYLAND_DISPLAY let the dialog start as QT_QPA_PLATFORM and -platform do (those
    // two tried on the real program, with the refusals), and the options it then reads.
    void commandLine() {
        char program[] = "orlup";
        char* argv[] = {program, nullptr};
        int argc = 1;
        std::ostringstream out;
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY"}) {
            QProcessEnvironment env;
            env.insert(display, ":1");
            QVERIFY(!AnswerWithoutDisplay(argc, argv, env, out, out));
        }
        const auto options = ReadStartOptions({"orlup", "--simulate=unplug", "/i/0493.hex"}, out);
        QVERIFY(options && options->simulate && options->imagePath == "/i/0493.hex");
        QCOMPARE(options->trouble, SimulatedPrinters::Trouble::Unplug);
        QVERIFY(!ReadStartOptions({"orlup"}, out)->simulate);
        // A name alone would fail the file-name rule, which wants a folder before it.
        QCOMPARE(ReadStartOptions({"orlup", "0493.hex"}, out)->imagePath,
                 QDir::currentPath() + "/0493.hex");
        QCOMPARE(out.str(), std::string());
    }
};

QTEST_MAIN(UpdaterDialogTest)
#include "UpdaterDialogTest.moc"

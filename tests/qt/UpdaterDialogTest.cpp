// The real UpdaterDialog on Qt's offscreen platform over a fake platform: keys, messages,
// transfers, files, help, closing, and the command line. Its pace is tests/qt/pace-bench.sh's.
#include <QtTest>
#include <QtWidgets>
#include <atomic>
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
#include "update/FlashTexts.h"

using namespace orlup;
using namespace orlup::test;

// Records each modal window or popup menu as it comes up, by its title, and for a message box
// "title: text on owner's title", marked when it lacks the warning icon, OK alone, plain text or
// modality. Then hands it to onShown, which is to close it. Polls, so that it works inside the
// windows' own loops too.
struct Watcher : QObject {
    QStringList seen;
    std::function<void(QWidget*)> onShown;
    QTimer poll;
    explicit Watcher(std::function<void(QWidget*)> shown) : onShown(std::move(shown)) {
        connect(&poll, &QTimer::timeout, this, [this] {
            QWidget* top = QApplication::activePopupWidget();
            if (top == nullptr) top = QApplication::activeModalWidget();
            if (top == nullptr || top->property("watched").toBool()) return;
            top->setProperty("watched", true);
            seen << top->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(top)) {
                const bool usual = box->icon() == QMessageBox::Warning && top->isModal() &&
                                   box->standardButtons() == QMessageBox::Ok &&
                                   box->textFormat() == Qt::PlainText;
                seen.last() += ": " + box->text() + " on " + top->parentWidget()->windowTitle() +
                               (usual ? "" : " (unlike every other box)");
            }
            QTimer::singleShot(0, top, [this, top] { onShown(top); });
        });
        poll.start(2);
    }
};

/// Reads an image only once the dialog's own loop has run meanwhile, which it could not if the
/// reading held its thread; while held, until the reading is cancelled. Whatever it left queued
/// goes with it.
struct SlowPreparer : QObject, ImagePreparer {
    void Take(const std::string&, const std::function<bool()>& cancelled) override {
        loopRan = false;
        QMetaObject::invokeMethod(
            this, [this] { loopRan = true; }, Qt::QueuedConnection);
        for (int i = 0; i < 2000 && (!loopRan || held) && !cancelled(); ++i) QThread::msleep(1);
        loopRanMeanwhile &= loopRan.load();
        cancelSeen = cancelled();
    }
    Prepared Serve() override { return {1234, "digest"}; }
    std::atomic<bool> loopRan{false}, held{false};
    bool loopRanMeanwhile = true, cancelSeen = false;
};

/// Each attempt as a line "model serial@busPort image size sha256 sent done result code", marked
/// when its time is no ISO 8601 one.
struct Records : AttemptRecorder {
    void Record(const AttemptRecord& r) override {
        const QDateTime time = QDateTime::fromString(QString::fromStdString(r.time), Qt::ISODate);
        kept << (time.isValid() ? "" : "untimed ") << r.model << ' ' << r.serial << '@' << r.busPort
             << ' ' << r.image << ' ' << r.size << ' ' << r.sha256 << ' ' << r.bytesSent << ' '
             << r.done << ' ' << r.result << ' ' << r.code << '\n';
    }
    std::ostringstream kept;
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
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }
    template <typename Widget = QWidget>
    Widget* Control(int id) {
        return static_cast<Widget*>(FindControl(*dialog, id));
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
    const QLabel* instruction = dialog.findChild<QLabel*>();  // whole in its place
    QVERIFY(!instruction->text().isEmpty() &&
            instruction->minimumSizeHint().width() <= instruction->width() &&
            instruction->heightForWidth(instruction->width()) <= instruction->height());
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
        Watcher watcher([&](QWidget* window) {
            auto* combo = window->findChild<QComboBox*>("fileTypeCombo");
            const auto* dialog = static_cast<QFileDialog*>(window);  // Qt's own on every desktop
            folders << dialog->directory().absolutePath() +
                           (dialog->testOption(QFileDialog::DontUseNativeDialog) ? "" : " native");
            if (watcher.seen.size() == 1) return QTest::keyClick(window, Qt::Key_Escape);
            auto* model = window->findChild<QFileSystemModel*>();
            filters << combo->currentText() + ' ' + model->nameFilters().join(' ');
            QTest::keyClick(combo, Qt::Key_Down);
            filters << combo->currentText() + ' ' + model->nameFilters().join(' ');
            auto* name = window->findChild<QLineEdit*>("fileNameEdit");
            name->setText(typed.at(watcher.seen.size() - 1));
            QTest::keyClick(name, Qt::Key_Return);
        });
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

    // Started as the program starts it, with the options it reads once it has a display; whether
    // it has one is the real program's to show (tests/qt/CMakeLists.txt).
    void startsReadyForKeyboardAndScreenReader() {
        std::ostringstream out;
        const StartOptions options =
            ReadStartOptions({"orlup", "--simulate=unplug", "/i/0493.hex"}, out).value();
        QCOMPARE(options.trouble, SimulatedPrinters::Trouble::Unplug);
        // A name alone would fail the file-name rule, which wants a folder before it.
        QCOMPARE(ReadStartOptions({"orlup", "0493.hex"}, out)->imagePath,
                 QDir::currentPath() + "/0493.hex");
        QCOMPARE(out.str(), std::string());
        Rig rig;  // for its seams; its own dialog, not modal, goes unwatched
        Watcher watcher([](QWidget* dialog) { ExpectReadyForKeyboardAndScreenReader(*dialog); });
        QVERIFY(!UpdaterApp::InitInstance(
            {rig.files.System(), rig.chooser, rig.help, options.simulate, {}, nullptr},
            options.imagePath));
        QCOMPARE(watcher.seen.size(), std::size_t(1));
        // Like MulDiv: half a pixel and more rounds up.
        QCOMPARE(DialogUnits(7, 13).ToPixels(217, 98, 50, 14), QRect(380, 159, 88, 23));
    }

    // Attempts one after another in one dialog, each recorded once it names an image: none
    // without one, a name of no model (whose image is not read), then transfers whose image is
    // read first off the dialog's thread. Each ends in one box on the dialog's convention, shown
    // from a tick as a failure's would be (the failures and their texts are the core's), and the
    // bar tells assistive technology each new percentage. E&xit ends a transfer at once, without
    // a box; closing stops the reading of an image.
    void attemptsFollowOneAnother() {
        Rig rig(0x1301);
        rig.printer.record.serial = "SN1";
        rig.printer.record.busPort = "1-1";
        QWidget* select = rig.Control(IDC_SELECT_FILE);
        bool enabledInBox = false;
        Watcher watcher([&](QWidget* box) {
            // The ticks that enable the buttons again arrive while the box is still open.
            enabledInBox = QTest::qWaitFor([&] { return select->isEnabled(); }, 2000);
            box->close();
        });
        auto* bar = rig.Control<QProgressBar>(IDC_PROGRESS);
        QStringList said;  // what the bar tells assistive technology
        connect(bar, &QProgressBar::valueChanged, [&] {
            said << QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Value);
        });
        // The path typed, the image's size, what the bar says, the box that ends the attempt.
        const std::tuple<QString, uint32_t, QStringList, QString> attempts[] = {
            {"", 0, {}, FlashTexts::EmptyPath},
            {"/i/0498a.hex", 2500, {"40%", "81%", "100%"}, FlashTexts::Completion},
            {"/i/9999.hex", 0, {}, FlashTexts::BadFileName},
            {"/i/0493.hex", 1, {}, "No Ilvaran printers found"},
            // Positions 102 and 105 show a full bar rather than being dropped.
            {"/i/0498b.hex", 1050, {"0%", "100%"}, FlashTexts::Completion},
            {"/i/0498c.hex", 400 * 1024, {"0%"}, ""}};
        for (const auto& [path, size, percentages, box] : attempts) {
            rig.files.AddImage(path.toStdString()).bytes.resize(size);
            said.clear();
            watcher.seen.clear();
            rig.Control<QLineEdit>(IDC_IMAGE_PATH)->setText(path);
            rig.Control<QPushButton>(IDC_UPDATE_FLASH)->click();
            QVERIFY(size == 0 ||
                    !(select->isEnabled() || rig.Control(IDC_UPDATE_FLASH)->isEnabled()));
            if (box.isEmpty()) break;
            QTRY_COMPARE(watcher.seen, QStringList{Box(box)});
            QVERIFY(enabledInBox);
            QCOMPARE(said, percentages);
        }
        QTRY_VERIFY(rig.dialog->flashUpdate().bytesSent() >= 4096);
        rig.Control<QPushButton>(layout::IdOk)->click();
        const std::size_t received = rig.printer.received.size();
        QTest::qWait(60);
        QVERIFY(rig.printer.received.size() == received && watcher.seen.empty());
        for (const QTimer* timer : rig.dialog->findChildren<QTimer*>())
            QVERIFY(!timer->isActive() && timer->timerType() == Qt::PreciseTimer);
        QCOMPARE(rig.dialog->SetTimer(9, UINT32_MAX), 0u);  // a period Qt refuses
        rig.dialog.reset();
        QCOMPARE(rig.files.OpenHandles(), 0);
        QVERIFY(rig.preparer.loopRanMeanwhile);
        // The interrupted one's count, as long as both places agree, is N.
        const QRegularExpression sent("(\\d+) 0 (Transfer interrupted after) \\1 ");
        const QString done = "Ilvaran-II SN1@1-1 /i/0498%1.hex 1234 digest %2 1 done 0\n";
        QCOMPARE(QString::fromStdString(rig.records.kept.str()).replace(sent, "N 0 \\2 N "),
                 done.arg('a').arg(2500) + " @ /i/9999.hex 0  0 0 " + FlashTexts::BadFileName +
                     " 0\nIlvaran @ /i/0493.hex 1234 digest 0 0 No Ilvaran printers found 0\n" +
                     done.arg('b').arg(1050) + "Ilvaran-II SN1@1-1 /i/0498c.hex 1234 digest N 0 " +
                     "Transfer interrupted after N of 409600 bytes: the dialog was closed 995\n");

        Rig closing(0x1301);
        closing.preparer.held = true;
        closing.Control<QLineEdit>(IDC_IMAGE_PATH)->setText("/i/0498a.hex");
        closing.Control<QPushButton>(IDC_UPDATE_FLASH)->click();
        closing.dialog->close();
        QTest::qWait(20);  // for the reading's queued end too
        QVERIFY(closing.preparer.cancelSeen && closing.files.listings == 0);  // no attempt
    }

    // What each way of giving a window command (a key, where one is named) leads to: the About
    // box (with its icon, and closed by its own button, as a message is), a message, nothing, or
    // the end with the path box's text taken or not.
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
        Watcher watcher([&](QWidget* window) {  // the menu's item, or the box's own button
            if (qobject_cast<QMenu*>(window)) return QTest::keyClick(window, Qt::Key_A);
            bool icon = false;  // in a static of its own size
            for (QLabel* label : window->findChildren<QLabel*>())
                icon |= label->pixmap().size() == QSize(32, 32) && label->width() == 32;
            window->findChild<QPushButton*>()->click();
            if (window->isVisible() || (!icon && qobject_cast<AboutDialog*>(window)))
                watcher.seen.last() = "shown badly";
            window->close();
        });
        auto* edit = rig.Control<QLineEdit>(IDC_IMAGE_PATH);
        edit->setText("/images/0493.hex");
        edit->setFocus();
        // At the dialog's centre, on the group box between the path box and the bar.
        if (how == "mouse") QTest::mouseClick(rig.dialog->windowHandle(), Qt::RightButton);
        if (how.startsWith("Update")) rig.Control(IDC_UPDATE_FLASH)->setFocus();
        if (how[0].isUpper()) QTest::keySequence(QApplication::focusWidget(), how.section(' ', -1));
        if (how.toInt() > 0) rig.dialog->OnSysCommand(how.toUInt());
        QTest::qWait(50);
        const QString seen =
            watcher.seen.empty() ? "nothing" : watcher.seen.last().section(':', 0, 0);
        const bool taken = rig.dialog->imagePath() == "/images/0493.hex";
        QCOMPARE(rig.dialog->isVisible() ? seen : taken ? "taken" : "not taken", result);
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
        bool escClosedIt = false;  // the help window takes keys although the About box is modal
        Watcher watcher([&](QWidget* window) {
            if (qobject_cast<AboutDialog*>(window) != nullptr) {
                QTest::keyClick(window, Qt::Key_F1);
                QTextBrowser* help = rig.help.browser();
                if (help != nullptr && QTest::qWaitForWindowActive(help)) {
                    QTest::keyClick(help->windowHandle(), Qt::Key_Escape);
                    escClosedIt = !help->isVisible();
                }
            }
            window->close();
        });
        rig.dialog->OnSysCommand(IDM_ABOUT);
        rig.dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.dialog.get()));
        QTest::keyClick(rig.dialog.get(), Qt::Key_F1);
        QTextBrowser* window = rig.help.browser();
        if (folder.endsWith(".html")) {
            const QString failed = "Failed to launch help.";
            QCOMPARE(watcher.seen.mid(1), QStringList({Box(failed, "About Orlup"), Box(failed)}));
            return;
        }
        QVERIFY(escClosedIt && window->isVisible() && !window->isModal());  // shown again
        QCOMPARE(window->windowTitle(), "Orlup Help");
        QCOMPARE(window->size(), QSize(640, 560));
        rig.dialog->activateWindow();  // F1 again brings the open window to the front
        QVERIFY(QTest::qWaitForWindowActive(rig.dialog.get()));
        QTest::keyClick(rig.dialog.get(), Qt::Key_F1);
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
};

QTEST_MAIN(UpdaterDialogTest)
#include "UpdaterDialogTest.moc"

// The real UpdaterDialog on Qt's offscreen platform: layout, keys, messages, transfers, closing.
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "AboutDialog.h"
#include "DialogHarness.h"
#include "TemplateWidgets.h"
#include "update/FlashTexts.h"

using namespace orlup;
using namespace orlup::test;

namespace {

// The test binary's name stands where the program's own ("orlup") would.
const QString Caption = QStringLiteral("orlup-qt-tests");

QRect ToPixels(const QFont& font, const layout::ControlTemplate& control) {
    const QFontMetrics metrics(font);
    auto x = [&](int units) { return (units * metrics.averageCharWidth() + 2) / 4; };
    auto y = [&](int units) { return (units * metrics.height() + 4) / 8; };
    return QRect(x(control.x), y(control.y), x(control.width), y(control.height));
}

void ExpectConvention(const SeenWindow& box, QWidget* owner) {
    QCOMPARE(box.className, QString("QMessageBox"));
    QCOMPARE(box.title, Caption);
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(box.modal);
    QCOMPARE(box.parent, owner);
}

class EnabledLog : public QObject {
public:
    EnabledLog(QWidget* watched, QStringList* log) : log_(log) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            log_->append(static_cast<QWidget*>(object)->isEnabled() ? "enabled" : "disabled");
        }
        return false;
    }

private:
    QStringList* log_;
};

}  // namespace

class UpdaterDialogTest : public QObject {
    Q_OBJECT

private slots:
    void layoutFollowsTheTemplate();
    void everyMessageFollowsTheConvention_data();
    void everyMessageFollowsTheConvention();
    void transferMovesProgressAndButtons_data();
    void transferMovesProgressAndButtons();
    void systemCommandOpensAboutBox_data();
    void systemCommandOpensAboutBox();
    void contextMenuReachesAboutBox_data();
    void contextMenuReachesAboutBox();
    void fileSelectionStartsInProgramFolder();
    void closingTakesTheTextOnlyOnExit_data();
    void closingTakesTheTextOnlyOnExit();
    void closingDuringTransferEndsAtOnce();
    void altUClicksUpdateOnlyWhileEnabled();
    void helpKeyInBothDialogs();
};

void UpdaterDialogTest::layoutFollowsTheTemplate() {
    DialogRig rig;
    UpdaterDialog& dialog = *rig.dialog;
    const QFont font = dialog.font();
    for (const layout::ControlTemplate& control : layout::UpdaterControls) {
        if (control.id == layout::IdStatic) continue;
        QWidget* widget = FindControl(dialog, control.id);
        QCOMPARE(widget->geometry(), ToPixels(font, control));
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), QString(control.text));
            QCOMPARE(button->isDefault(), control.id == layout::IdOk);
        }
    }
    auto* group = dialog.findChild<QGroupBox*>();
    QCOMPARE(group->title(), QString("Update Ilvaran Firmware"));
    QCOMPARE(group->geometry(), ToPixels(font, layout::UpdaterControls[5]));
    // The group box lies under the controls it frames, so they still take the clicks.
    QWidget* update = rig.Button(IDC_UPDATE_FLASH);
    QCOMPARE(dialog.childAt(update->geometry().center()), update);
    auto* instruction = dialog.findChild<QLabel*>();
    const int textHeight = instruction->heightForWidth(instruction->width());
    QCOMPARE(textHeight / QFontMetrics(instruction->font()).lineSpacing(), 2);
    QVERIFY(rig.PathEdit()->text().isEmpty());
    QCOMPARE(rig.Progress()->maximum(), 100);
    QCOMPARE(rig.Progress()->value(), 0);

    QCOMPARE(dialog.windowTitle(), QString("Ilvaran Printer Firmware Updater"));
    const QSize size = ToPixels(font, {0, "", "", 0, 0, 274, 118, 0}).size();
    QCOMPARE(dialog.minimumSize(), size);
    QCOMPARE(dialog.maximumSize(), size);
    QVERIFY(
        !(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const QPoint offset =
        dialog.geometry().center() - dialog.screen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, "the dialog opens centred on the screen");

    QCOMPARE(QApplication::focusWidget(), rig.Button(layout::IdOk));
    for (QWidget* next : {update, static_cast<QWidget*>(rig.PathEdit()),
                          static_cast<QWidget*>(rig.Button(IDC_SELECT_FILE)),
                          static_cast<QWidget*>(rig.Button(layout::IdOk))}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void UpdaterDialogTest::everyMessageFollowsTheConvention_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("expected");  // the whole text, or the prefix before an error text
    QTest::newRow("empty path") << "empty" << FlashTexts::EmptyPath;
    QTest::newRow("file name") << "badname" << FlashTexts::BadFileName;
    QTest::newRow("no Ilvaran") << "none0493"
                                << "No Ilvaran printers found";
    QTest::newRow("two printers")
        << "two"
        << "Multiple Ilvaran printers are online. Only one may be programmed at a time";
    QTest::newRow("image missing") << "noimage" << FlashTexts::ImageOpenFailed;
    QTest::newRow("size") << "size" << FlashTexts::SizeFailed;
    QTest::newRow("command write") << "command" << FlashTexts::WriteFailed;
    QTest::newRow("read") << "read" << FlashTexts::ReadFailed;
    QTest::newRow("completion") << "done" << FlashTexts::Completion;
}

void UpdaterDialogTest::everyMessageFollowsTheConvention() {
    QFETCH(QString, scenario);
    QFETCH(QString, expected);
    DialogRig rig;
    ModalWatcher watcher;
    const std::string path = "/images/0493.hex";
    if (scenario != "none0493") rig.AddPrinter(0x200a);
    if (scenario == "two") rig.AddPrinter(0x200a, "SN2");
    if (scenario != "noimage") rig.AddImage(path, 3000);
    if (scenario == "size") rig.files.AddImage(path).sizeError = 5;
    if (scenario == "read") {
        rig.files.AddImage(path).failReadCall = 1;
        rig.files.AddImage(path).readError = 30;
    }
    if (scenario == "command") {
        rig.files.Device("printer-SN1").failWriteCall = 0;
        rig.files.Device("printer-SN1").writeError = 31;
    }
    rig.StartUpdate(scenario == "empty" ? "" : scenario == "badname" ? "/images/x0493.hex" : path);

    QTRY_COMPARE_WITH_TIMEOUT(watcher.seen.size(), std::size_t(1), 2000);
    ExpectConvention(watcher.seen[0], rig.dialog.get());
    QVERIFY2(watcher.seen[0].text.startsWith(expected), qPrintable(watcher.seen[0].text));
    QTRY_VERIFY(rig.Button(IDC_UPDATE_FLASH)->isEnabled());
    QCOMPARE(rig.files.OpenHandles(), 0);
}

void UpdaterDialogTest::transferMovesProgressAndButtons_data() {
    QTest::addColumn<uint32_t>("size");
    QTest::addColumn<QList<int>>("positions");
    QTest::newRow("2500 bytes") << 2500u << QList<int>{40, 81, 100};
    // Positions 102 and 105 show a full bar rather than being dropped.
    QTest::newRow("1050 bytes") << 1050u << QList<int>{100};
}

void UpdaterDialogTest::transferMovesProgressAndButtons() {
    QFETCH(uint32_t, size);
    QFETCH(QList<int>, positions);
    DialogRig rig;
    const std::string printer = rig.AddPrinter(0x1301);
    rig.AddImage("/images/0498rev3.hex", size);
    QStringList log;
    EnabledLog enabledLog(rig.Button(IDC_SELECT_FILE), &log);
    ModalWatcher watcher(100);
    watcher.log = &log;
    QList<int> seenPositions;
    connect(rig.Progress(), &QProgressBar::valueChanged,
            [&](int value) { seenPositions.append(value); });

    rig.StartUpdate("/images/0498rev3.hex");
    QVERIFY(!rig.Button(IDC_SELECT_FILE)->isEnabled());
    QVERIFY(!rig.Button(IDC_UPDATE_FLASH)->isEnabled());
    QVERIFY(rig.Button(layout::IdOk)->isEnabled());
    QTRY_COMPARE(log.size(), qsizetype(4));
    // The ticks that re-enable the buttons arrive while the completion box is still open.
    QCOMPARE(log, QStringList({"disabled", "box shown", "enabled", "box closed"}));
    QCOMPARE(watcher.seen[0].text, QString(FlashTexts::Completion));
    QCOMPARE(seenPositions, positions);
    QCOMPARE(rig.Progress()->value(), 100);
    QCOMPARE(rig.files.Device(printer).received.size(), std::size_t(9 + size));
    QVERIFY(rig.Button(IDC_UPDATE_FLASH)->isEnabled());
    QVERIFY(!rig.dialog->flashUpdate().HasPortList());
}

void UpdaterDialogTest::systemCommandOpensAboutBox_data() {
    QTest::addColumn<uint32_t>("command");
    QTest::addColumn<bool>("opens");
    QTest::newRow("0x0010") << 0x0010u << true;
    QTest::newRow("0x001F") << 0x001Fu << true;
    QTest::newRow("0x0020") << 0x0020u << false;
}

void UpdaterDialogTest::systemCommandOpensAboutBox() {
    QFETCH(uint32_t, command);
    QFETCH(bool, opens);
    DialogRig rig;
    ModalWatcher watcher;
    QStringList texts;
    watcher.onShown = [&](QWidget* about) {
        for (const QLabel* label : about->findChildren<QLabel*>()) texts.append(label->text());
        about->close();
    };
    rig.dialog->OnSysCommand(command, 0);
    QTest::qWait(30);
    QCOMPARE(watcher.seen.size(), std::size_t(opens ? 1 : 0));
    QVERIFY(rig.dialog->isVisible());
    if (!opens) return;
    const SeenWindow& about = watcher.seen[0];
    QCOMPARE(about.className, QString("orlup::AboutDialog"));
    QCOMPARE(about.title, QString("About Orlup"));
    QVERIFY(texts.contains("Orlup Version 1.1.0.0"));
    QVERIFY(texts.contains(layout::AboutSecondLine));
    const QPoint offset = about.geometry.center() - rig.dialog->geometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, "the About box opens centred over the dialog");
}

void UpdaterDialogTest::contextMenuReachesAboutBox_data() {
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("right button") << false;
    QTest::newRow("Shift+F10") << true;
}

void UpdaterDialogTest::contextMenuReachesAboutBox() {
    QFETCH(bool, byKeyboard);
    DialogRig rig;
    ModalWatcher watcher;
    QStringList items;
    watcher.onShown = [&](QWidget* window) {
        if (auto* menu = qobject_cast<QMenu*>(window)) {
            for (const QAction* action : menu->actions()) items.append(action->text());
            QTest::keyClick(menu, Qt::Key_A);  // the item's mnemonic
        } else {
            window->close();
        }
    };
    if (byKeyboard) {
        QTest::keyClick(rig.dialog.get(), Qt::Key_F10, Qt::ShiftModifier);
    } else {
        const QPoint at = rig.dialog->rect().bottomLeft() + QPoint(10, -10);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, rig.dialog->mapToGlobal(at));
        QApplication::sendEvent(rig.dialog.get(), &event);
    }
    QTRY_COMPARE(watcher.seen.size(), std::size_t(2));
    QCOMPARE(items, QStringList({"&About Orlup..."}));
    QCOMPARE(watcher.seen[1].title, QString("About Orlup"));
}

void UpdaterDialogTest::fileSelectionStartsInProgramFolder() {
    DialogRig rig;
    rig.chooser.answers = {std::nullopt, QString("/elsewhere/0493v2.hex"),
                           QString("/deep/") + QString(300, 'd') + "/0493.hex"};
    rig.PathEdit()->setText("typed by hand");
    QPushButton* select = rig.Button(IDC_SELECT_FILE);

    select->click();  // Cancel
    QCOMPARE(rig.PathEdit()->text(), QString("typed by hand"));
    QVERIFY(rig.dialog->imagePath().empty());
    select->click();  // a choice
    QCOMPARE(rig.PathEdit()->text(), QString("/elsewhere/0493v2.hex"));
    QCOMPARE(rig.dialog->imagePath(), std::string("/elsewhere/0493v2.hex"));
    select->click();  // a path the Windows dialog could not hand back counts as Cancel
    QCOMPARE(rig.PathEdit()->text(), QString("/elsewhere/0493v2.hex"));

    QCOMPARE(rig.chooser.requests.size(), std::size_t(3));
    for (const FileRequest& request : rig.chooser.requests) {
        QCOMPARE(request.title, QString("Select Flash File"));
        QCOMPARE(request.directory, QCoreApplication::applicationDirPath());
        QCOMPARE(request.filters, QStringList({"Flash Files(*.hex)", "All Files(*.*)"}));
        QCOMPARE(request.selectedFilter, QString("Flash Files(*.hex)"));
    }
}

void UpdaterDialogTest::closingTakesTheTextOnlyOnExit_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("takesText");
    QTest::newRow("E&xit") << "click" << true;
    QTest::newRow("Alt+X") << "alt+x" << true;
    QTest::newRow("Enter in the edit box") << "enter" << true;
    QTest::newRow("Esc") << "escape" << false;
    QTest::newRow("close box") << "close" << false;
    QTest::newRow("SC_CLOSE") << "sc_close" << false;
}

void UpdaterDialogTest::closingTakesTheTextOnlyOnExit() {
    QFETCH(QString, how);
    QFETCH(bool, takesText);
    DialogRig rig;
    rig.PathEdit()->setText("/images/0493.hex");
    rig.PathEdit()->setFocus();
    if (how == "click") rig.Button(layout::IdOk)->click();
    if (how == "alt+x") QTest::keyClick(rig.dialog.get(), Qt::Key_X, Qt::AltModifier);
    if (how == "enter") QTest::keyClick(rig.PathEdit(), Qt::Key_Return);
    if (how == "escape") QTest::keyClick(rig.PathEdit(), Qt::Key_Escape);
    if (how == "close") rig.dialog->close();
    if (how == "sc_close") rig.dialog->OnSysCommand(UpdaterDialog::SC_CLOSE, 0);
    QTRY_VERIFY(!rig.dialog->isVisible());  // a mnemonic clicks with a short animation
    QCOMPARE(rig.dialog->result(), takesText ? QDialog::Accepted : QDialog::Rejected);
    QCOMPARE(rig.dialog->imagePath(), std::string(takesText ? "/images/0493.hex" : ""));
}

void UpdaterDialogTest::closingDuringTransferEndsAtOnce() {
    DialogRig rig;
    const std::string printer = rig.AddPrinter(0x200a);
    rig.AddImage("/images/0493big.hex", 400 * 1024);
    ModalWatcher watcher;
    rig.StartUpdate("/images/0493big.hex");
    QTRY_VERIFY(rig.dialog->flashUpdate().bytesSent() >= 4096);
    rig.Button(layout::IdOk)->click();
    const std::size_t received = rig.files.Device(printer).received.size();
    QTest::qWait(60);
    QVERIFY(!rig.dialog->isVisible());
    QCOMPARE(rig.files.Device(printer).received.size(), received);
    QVERIFY(received < 9 + 400 * 1024);
    QVERIFY(watcher.seen.empty());
    rig.dialog.reset();
    QCOMPARE(rig.files.OpenHandles(), 0);
}

void UpdaterDialogTest::altUClicksUpdateOnlyWhileEnabled() {
    DialogRig rig;
    rig.AddPrinter(0x200a);
    rig.AddImage("/images/0493.hex", 200 * 1024);
    ModalWatcher watcher;
    QTest::keyClick(rig.dialog.get(), Qt::Key_U, Qt::AltModifier);
    QTRY_COMPARE(watcher.seen.size(), std::size_t(1));
    QCOMPARE(watcher.seen[0].text, QString(FlashTexts::EmptyPath));

    rig.StartUpdate("/images/0493.hex");
    const int searches = rig.files.listings;
    QTest::keyClick(rig.dialog.get(), Qt::Key_U, Qt::AltModifier);
    QTest::qWait(200);  // longer than a mnemonic's click animation
    QCOMPARE(rig.files.listings, searches);
    QVERIFY(rig.dialog->flashUpdate().busy());
}

void UpdaterDialogTest::helpKeyInBothDialogs() {
    DialogRig rig;
    ModalWatcher watcher;
    QTest::keyClick(rig.dialog.get(), Qt::Key_F1);
    QCOMPARE(rig.help.calls, 1);
    QTest::qWait(20);
    QVERIFY(watcher.seen.empty());

    rig.help.shows = false;
    QTest::keyClick(rig.dialog.get(), Qt::Key_F1);
    QTRY_COMPARE(watcher.seen.size(), std::size_t(1));
    QCOMPARE(watcher.seen[0].text, QString("Failed to launch help."));
    ExpectConvention(watcher.seen[0], rig.dialog.get());

    // In the About box F1 asks for help too, and the failure box belongs to the About box.
    QWidget* aboutBox = nullptr;
    watcher.onShown = [&](QWidget* window) {
        if (qobject_cast<AboutDialog*>(window) != nullptr) {
            aboutBox = window;
            QTest::keyClick(window, Qt::Key_F1);
        }
        window->close();
    };
    rig.dialog->OnSysCommand(IDM_ABOUT, 0);
    QCOMPARE(rig.help.calls, 3);
    QCOMPARE(watcher.seen.size(), std::size_t(3));
    ExpectConvention(watcher.seen[2], aboutBox);
}

QTEST_MAIN(UpdaterDialogTest)
#include "UpdaterDialogTest.moc"

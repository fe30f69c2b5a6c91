// The real UpdaterDialog over a fake platform, and a watcher that answers its modal windows.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "TemplateWidgets.h"
#include "UpdaterDialog.h"
#include "fakes/FakePlatform.h"

namespace orlup::test {

// Records each modal window or popup menu as it comes up, by its title, and for a message box
// "title: text on owner's title", marked when it lacks the warning icon, OK alone, plain text or
// modality. Then hands it to onShown, which closes it unless told otherwise. Polls, so that it
// works inside the windows' own loops too.
struct Watcher : QObject {
    QStringList seen;
    std::function<void(QWidget*)> onShown = [](QWidget* window) { window->close(); };
    QList<QPointer<QWidget>> known;
    QTimer poll;
    Watcher() {
        connect(&poll, &QTimer::timeout, this, [this] {
            QWidget* top = QApplication::activePopupWidget();
            if (top == nullptr) top = QApplication::activeModalWidget();
            if (top == nullptr || known.contains(top)) return;
            known << top;
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

// One dialog, shown and active, with one printer of that product; the help page is looked for
// in programDir/bin and programDir/share/orlup.
struct Rig {
    FakePlatform files;
    FakeDevice& printer;
    QtFileChooser chooser;
    QTemporaryDir programDir;
    HelpWindow help{programDir.path() + "/bin"};
    std::unique_ptr<UpdaterDialog> dialog =
        std::make_unique<UpdaterDialog>(DialogSeams{files.System(), chooser, help});

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

}  // namespace orlup::test

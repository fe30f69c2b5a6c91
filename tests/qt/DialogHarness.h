// Drives the real UpdaterDialog on fakes: scripted printers, file choices, help, and modal boxes.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "UpdaterDialog.h"
#include "fakes/FakePlatform.h"

class QLineEdit;
class QProgressBar;
class QPushButton;

namespace orlup::test {

class ScriptedChooser : public FileChooser {
public:
    std::vector<FileRequest> requests;
    std::deque<std::optional<QString>> answers;  // none left: Cancel
    std::optional<QString> ChooseFile(QWidget* owner, const FileRequest& request) override;
};

class ScriptedHelp : public HelpViewer {
public:
    int calls = 0;
    bool shows = true;
    bool ShowHelp() override;
};

/// What a modal window looked like when it came up.
struct SeenWindow {
    QString className;
    QString title;
    QString text;  // a message box's text
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
    bool modal = false;
    QRect geometry;
};

/// Records every modal window or popup menu that comes up and dismisses it after holdMs, or
/// hands it to onShown instead. Polls, so it also runs inside the windows' own loops.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(int holdMs = 0);
    std::vector<SeenWindow> seen;
    std::function<void(QWidget*)> onShown;
    QStringList* log = nullptr;  // gets "box shown" and "box closed"

private:
    void Poll();
    void Dismiss(QWidget* window);
    int holdMs_;
    QTimer poll_;
    // Every window already recorded, so that one uncovered again is not taken for a new one.
    std::vector<std::pair<QPointer<QWidget>, qint64>> known_;
};

/// One dialog over a fake platform, shown and active.
class DialogRig {
public:
    DialogRig();
    ~DialogRig();

    EventLog events;
    FakePlatform files{&events};
    ScriptedChooser chooser;
    ScriptedHelp help;
    std::unique_ptr<UpdaterDialog> dialog;

    /// A free printer of that product id; returns its device path.
    std::string AddPrinter(int productId, const std::string& serial = "SN1");
    /// An image of size bytes with a recognisable pattern.
    FakeImage& AddImage(const std::string& path, uint32_t size);

    QPushButton* Button(int id) const;
    QLineEdit* PathEdit() const;
    QProgressBar* Progress() const;
    /// Types path and clicks "&Update Flash".
    void StartUpdate(const std::string& path);
};

}  // namespace orlup::test

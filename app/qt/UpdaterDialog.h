// The main dialog: hosts the flash update, selects the image file and opens the About box.
#pragma once

#include <QDialog>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>

#include "DialogSeams.h"
#include "update/FlashUpdate.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace orlup {

class UpdaterDialog : public QDialog, public FlashUpdateHost {
    Q_OBJECT
public:
    /// The system command that the standard close items send.
    static constexpr uint32_t SC_CLOSE = 0xF060;

    explicit UpdaterDialog(const DialogSeams& seams, QWidget* parent = nullptr);
    ~UpdaterDialog() override;

    /// The window-menu command: ids 0x0010 to 0x001F open the About box, SC_CLOSE closes the
    /// dialog like its close box, anything else does nothing.
    void OnSysCommand(uint32_t id);
    /// "Select File": the file-open dialog, starting in the executable's folder every time.
    void OnSelectFile();
    /// A chosen image: the image path and the edit box's text.
    void SetImagePath(const std::string& path);

    /// The image path as last exchanged with the edit box.
    const std::string& imagePath() const { return imagePath_; }
    const FlashUpdate& flashUpdate() const { return flash_; }

    std::string TakeImagePath() override;
    void ShowMessage(const std::string& text) override;
    void SetProgress(uint32_t position) override;
    uint32_t SetTimer(uint32_t id, uint32_t periodMs) override;
    void KillTimer(uint32_t id) override;
    void EnableButtons(bool enable) override;
    void AttemptEnded(const AttemptOutcome& outcome) override;

    /// "E&xit", Alt+X and Enter: the edit box's text becomes the image path, then the end.
    void accept() override;
    /// Every way of closing stops the timers first, so no piece goes out after it.
    void done(int result) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ConnectControls();
    void InstallMenuKey();
    void ShowWindowMenu(const QPoint& globalPos);
    void PostTick(uint32_t id);
    /// "&Update Flash": the image is read off this thread first, where a preparer is given.
    void OnUpdateFlash();
    void StartAttempt();
    void StopPreparing();
    void Record(const AttemptOutcome& outcome);

    DialogSeams seams_;
    std::string imagePath_;
    QPushButton* exitButton_ = nullptr;
    QPushButton* updateButton_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    QPushButton* selectButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    FlashUpdate flash_;
    std::map<uint32_t, QTimer*> timers_;  // children of the dialog
    std::thread preparing_;
    std::atomic<bool> cancelPreparing_{false};  // set once, as the dialog ends
    ImagePreparer::Prepared prepared_;
    std::string preparedPath_;
    std::string attemptStart_;
};

}  // namespace orlup

// The main dialog: hosts the flash update and routes its buttons, timer, system menu and paint.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/win32/Dialog.h"
#include "app/win32/FlashFileChooser.h"
#include "platform/windows/TimerResolution.h"
#include "update/FlashUpdate.h"

namespace orlup {

class UpdaterDialog : public Dialog, public FlashUpdateHost {
public:
    /// The system command of the About item; 0x0010 to 0x001F all open the About box.
    static constexpr UINT AboutCommand = 0x0010;

    UpdaterDialog(WinApp& app, const FlashSystem& system,
                  OpenFileDialog openFileDialog = &::GetOpenFileNameA);

    const std::string& imagePath() const { return imagePath_; }
    HICON icon() const { return icon_; }
    const FlashUpdate& flashUpdate() const { return update_; }
    /// The system timer runs at 1 ms: from the start of the transfer's timer until it stops.
    bool HasFineTimer() const { return fineTimer_.has_value(); }

    // The services the flash update asks of its window.
    std::string TakeImagePath() override;
    void ShowMessage(const std::string& text) override;
    void SetProgress(uint32_t position) override;
    uint32_t SetTimer(uint32_t id, uint32_t periodMs) override;
    void KillTimer(uint32_t id) override;
    void EnableButtons(bool enable) override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(bool fromControls) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void AppendAboutItem();
    bool OnSysCommand(UINT commandId);
    bool OnPaint();
    void OnSelectFile();

    HWND progress_ = nullptr;
    std::string imagePath_;
    HICON icon_;
    OpenFileDialog openFileDialog_;
    std::optional<TimerResolution> fineTimer_;
    FlashUpdate update_;
};

/// Where the icon of the minimised dialog is drawn: centred, halves truncated toward zero.
POINT MinimisedIconPosition(const RECT& client, int iconWidth, int iconHeight);

}  // namespace orlup

// The main dialog: initialisation, the message map, painting and the flash update's services.
#include "app/win32/UpdaterDialog.h"

#include <commctrl.h>

#include "app/win32/AboutDialog.h"
#include "platform/windows/LastBackslash.h"
#include "res/resource.h"

namespace orlup {

namespace {
constexpr std::size_t MenuTextBufferSize = 256;
}  // namespace

POINT MinimisedIconPosition(const RECT& client, int iconWidth, int iconHeight) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    return POINT{(width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2};
}

UpdaterDialog::UpdaterDialog(WinApp& app, const FlashSystem& system, OpenFileDialog openFileDialog)
    : Dialog(app, IDD_UPDATER),
      icon_(LoadIconA(app.module(), MAKEINTRESOURCEA(IDI_ORLUP))),
      openFileDialog_(std::move(openFileDialog)),
      update_(*this, system) {}

BOOL UpdaterDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    AppendAboutItem();
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    UpdateData(false);
    return TRUE;
}

void UpdaterDialog::AppendAboutItem() {
    HMENU systemMenu = GetSystemMenu(hwnd(), FALSE);
    if (systemMenu == nullptr) return;
    char text[MenuTextBufferSize] = {};
    if (LoadStringA(app().module(), IDS_ABOUT_ITEM, text, sizeof(text)) <= 0) return;
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(systemMenu, MF_STRING, AboutCommand, text);
}

void UpdaterDialog::DoDataExchange(bool fromControls) {
    if (progress_ == nullptr) progress_ = GetDlgItem(hwnd(), IDC_PROGRESS);
    HWND edit = GetDlgItem(hwnd(), IDC_IMAGE_PATH);
    if (fromControls) {
        imagePath_ = WindowText(edit);
    } else if (WindowText(edit) != imagePath_) {
        SetWindowTextA(edit, imagePath_.c_str());
    }
}

bool UpdaterDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR* result) {
    switch (message) {
        case WM_SYSCOMMAND:
            *result = TRUE;
            return OnSysCommand(static_cast<UINT>(wParam));
        case WM_PAINT:
            *result = TRUE;
            return OnPaint();
        case WM_QUERYDRAGICON:
            *result = reinterpret_cast<INT_PTR>(icon_);
            return true;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return false;
            if (LOWORD(wParam) == IDC_SELECT_FILE) {
                OnSelectFile();
            } else if (LOWORD(wParam) == IDC_UPDATE_FLASH) {
                update_.OnUpdateFlash();
            } else {
                return false;
            }
            *result = TRUE;
            return true;
        case WM_TIMER:
            update_.OnTimer(static_cast<uint32_t>(wParam));
            *result = TRUE;
            return true;
        default:
            return false;
    }
}

bool UpdaterDialog::OnSysCommand(UINT commandId) {
    if ((commandId & 0xFFF0) != AboutCommand) return false;  // the standard commands
    AboutDialog about(app());
    about.DoModal();
    return true;
}

bool UpdaterDialog::OnPaint() {
    if (!IsIconic(hwnd())) return false;
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd(), &paint);
    SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(hwnd(), &client);
    const POINT at =
        MinimisedIconPosition(client, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    DrawIcon(dc, at.x, at.y, icon_);
    EndPaint(hwnd(), &paint);
    return true;
}

void UpdaterDialog::OnSelectFile() {
    char systemDir[MAX_PATH] = {};
    GetSystemDirectoryA(systemDir, MAX_PATH);
    SetCurrentDirectoryA(systemDir);
    const auto chosen =
        FlashFileChooser::Choose(hwnd(), app().module(), FolderOf(ModulePath()), openFileDialog_);
    if (!chosen) return;
    imagePath_ = *chosen;
    UpdateData(false);
}

std::string UpdaterDialog::TakeImagePath() {
    UpdateData(true);
    return imagePath_;
}

void UpdaterDialog::ShowMessage(const std::string& text) { app().DoMessageBox(text); }

void UpdaterDialog::SetProgress(uint32_t position) {
    SendMessageA(progress_, PBM_SETPOS, position, 0);
}

uint32_t UpdaterDialog::SetTimer(uint32_t id, uint32_t periodMs) {
    const auto timerId = static_cast<uint32_t>(::SetTimer(hwnd(), id, periodMs, nullptr));
    if (timerId != 0 && !fineTimer_) fineTimer_.emplace();
    return timerId;
}

void UpdaterDialog::KillTimer(uint32_t id) {
    ::KillTimer(hwnd(), id);
    fineTimer_.reset();
}

void UpdaterDialog::EnableButtons(bool enable) {
    EnableWindow(GetDlgItem(hwnd(), IDC_SELECT_FILE), enable);
    EnableWindow(GetDlgItem(hwnd(), IDC_UPDATE_FLASH), enable);
}

}  // namespace orlup

// A modal dialog from a template: the dialog procedure, the standard commands and centring.
#include "app/win32/Dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace orlup {

namespace {

RECT WorkAreaOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

int CentredStart(LONG areaStart, LONG areaEnd, LONG size, LONG limitStart, LONG limitEnd) {
    const LONG start = areaStart + (areaEnd - areaStart - size) / 2;
    return static_cast<int>(std::max(limitStart, std::min(start, limitEnd - size)));
}

void RegisterCommonControls() {
    // The templates name the progress bar's class, which exists only once registered.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

}  // namespace

void CenterDialog(HWND dialog) {
    const RECT work = WorkAreaOf(dialog);
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT area = work;
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    }
    RECT own{};
    GetWindowRect(dialog, &own);
    const LONG width = own.right - own.left;
    const LONG height = own.bottom - own.top;
    const int x = CentredStart(area.left, area.right, width, work.left, work.right);
    const int y = CentredStart(area.top, area.bottom, height, work.top, work.bottom);
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string WindowText(HWND window) {
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1);
    const int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<std::size_t>(std::max(length, 0)));
}

Dialog::Dialog(WinApp& app, int templateId) : app_(app), templateId_(templateId) {}

INT_PTR Dialog::DoModal() {
    RegisterCommonControls();
    return DialogBoxParamA(app_.module(), MAKEINTRESOURCEA(templateId_), app_.mainWindow(),
                           &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

void Dialog::OnOK() {
    UpdateData(true);
    EndDialog(hwnd_, IDOK);
}

void Dialog::OnCancel() { EndDialog(hwnd_, IDCANCEL); }

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        dialog->hwnd_ = hwnd;
    }
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (dialog == nullptr) return FALSE;  // messages that come before WM_INITDIALOG
    const INT_PTR result = dialog->Route(message, wParam, lParam);
    if (message == WM_NCDESTROY) dialog->hwnd_ = nullptr;
    return result;
}

INT_PTR Dialog::Route(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = FALSE;
    if (OnMessage(message, wParam, lParam, &result)) return result;
    switch (message) {
        case WM_INITDIALOG: {
            const BOOL focusFirst = OnInitDialog();
            // Both templates sit at 0,0 without a centring style: that asks for centring.
            CenterDialog(hwnd_);
            return focusFirst;
        }
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam));
        case WM_HELP:
            app_.OnHelp(templateId_);
            return TRUE;
        default:
            return FALSE;
    }
}

bool Dialog::OnCommand(WORD id) {
    switch (id) {
        case IDOK:
            OnOK();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        default:
            return false;
    }
}

}  // namespace orlup

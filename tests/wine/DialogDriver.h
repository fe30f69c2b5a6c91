// Drives dialogs as a user would, from another thread or process: finds windows by caption,
// reads them and posts clicks and keys. Runs the real main dialog modally over scripted printers.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/UpdaterDialog.h"
#include "fakes/FakePlatform.h"
#include "res/resource.h"

namespace orlup::test {

constexpr const char* MainCaption = "Ilvaran Printer Firmware Updater";
constexpr UINT WM_KEYF1 = 0x004D;  // what the system posts for F1; it becomes WM_HELP

/// Waits up to timeoutMs for a condition that another thread or process makes true.
template <typename Condition>
bool Eventually(Condition condition, DWORD timeoutMs = 10000) {
    for (const DWORD start = GetTickCount(); !condition(); Sleep(10)) {
        if (GetTickCount() - start > timeoutMs) return false;
    }
    return true;
}

inline std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

/// A visible dialog of that process with that caption, message boxes included.
inline HWND FindDialog(DWORD processId, const char* caption) {
    HWND at = nullptr;
    while ((at = FindWindowExA(nullptr, at, "#32770", caption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(at, &owner);
        if (owner == processId && IsWindowVisible(at)) return at;
    }
    return nullptr;
}

inline HWND WaitForDialog(DWORD processId, const char* caption) {
    HWND found = nullptr;
    Eventually([&] { return (found = FindDialog(processId, caption)) != nullptr; });
    return found;
}

inline void PostClick(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

/// A message box as its user sees it.
struct MessageBoxView {
    HWND box = nullptr;
    std::string text;
    std::vector<std::string> buttons;
    bool exclamation = false;
};

/// The box with that caption once it shows, or one with no window; OK dismisses it if asked.
inline MessageBoxView WaitForBox(DWORD processId, const char* caption, bool dismiss = true) {
    MessageBoxView view;
    view.box = WaitForDialog(processId, caption);
    for (HWND child = GetWindow(view.box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char kind[16] = {};
        GetClassNameA(child, kind, sizeof(kind));
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(kind, "Button") == 0 && (style & WS_VISIBLE)) {
            view.buttons.push_back(TextOf(child));
        } else if ((style & SS_TYPEMASK) == SS_ICON) {
            view.exclamation = SendMessageA(child, STM_GETICON, 0, 0) ==
                               reinterpret_cast<LRESULT>(LoadIconA(nullptr, IDI_EXCLAMATION));
        } else if (lstrcmpiA(kind, "Static") == 0 && !TextOf(child).empty()) {
            view.text = TextOf(child);
        }
    }
    if (dismiss && view.box != nullptr) {
        PostMessageA(view.box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(Eventually([&] { return !IsWindow(view.box); }));
    }
    return view;
}

/// The real main dialog, run modally on the test's thread over scripted printers and images,
/// and acted on by a user on a thread of its own.
class DialogTest : public testing::Test {
protected:
    DialogTest() { CreateDirectoryA(folder.c_str(), nullptr); }
    ~DialogTest() override { RemoveDirectoryA(folder.c_str()); }

    /// DoModal's result. Whatever the user leaves open is closed, so that no test hangs.
    INT_PTR RunDialog(const std::function<void()>& user, std::optional<FlashSystem> system = {}) {
        dialog = std::make_unique<UpdaterDialog>(app, system.value_or(files.System()),
                                                 [this](OPENFILENAMEA* r) { return OpenFile(r); });
        app.SetMainDialog(dialog.get());
        const DWORD uiThread = GetCurrentThreadId();
        std::atomic<bool> ended{false};
        std::thread userThread([&] {
            mainWindow = WaitForDialog(pid, MainCaption);
            if (mainWindow != nullptr) user();
            while (!Eventually([&] { return ended.load(); }, 2000)) {
                EnumThreadWindows(
                    uiThread, [](HWND w, LPARAM) { return PostMessageA(w, WM_CLOSE, 0, 0); }, 0);
            }
        });
        const INT_PTR result = dialog->DoModal();
        ended = true;
        userThread.join();
        app.SetMainDialog(nullptr);
        EXPECT_NE(nullptr, mainWindow) << "the main dialog did not show";
        return result;
    }
    virtual BOOL OpenFile(OPENFILENAMEA*) { return FALSE; }

    HWND Item(int id) const { return GetDlgItem(mainWindow, id); }
    MessageBoxView Box(bool dismiss = true) {
        return WaitForBox(pid, app.appName().c_str(), dismiss);
    }
    bool ButtonsEnabled() const {
        return IsWindowEnabled(Item(IDC_SELECT_FILE)) && IsWindowEnabled(Item(IDC_UPDATE_FLASH));
    }
    void StartTransfer(const char* imagePath) {
        SetWindowTextA(Item(IDC_IMAGE_PATH), imagePath);
        PostClick(mainWindow, IDC_UPDATE_FLASH);
    }

    const DWORD pid = GetCurrentProcessId();
    // The program seems to run from here, so that a test decides which help files it has.
    const std::string folder = [] {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        return std::string(temp) + "orlup-" + std::to_string(GetCurrentProcessId());
    }();
    WinApp app{folder + "\\Orlup.exe"};
    FakePlatform files;
    std::unique_ptr<UpdaterDialog> dialog;
    HWND mainWindow = nullptr;
};

}  // namespace orlup::test

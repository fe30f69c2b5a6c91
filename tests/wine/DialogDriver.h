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

#include "app/win32/UpdaterDialog.h"
#include "fakes/FakePlatform.h"
#include "res/resource.h"

namespace orlup::test {

constexpr const char* MainCaption = "Ilvaran Printer Firmware Updater";
constexpr int MessageBoxTextId = 0xFFFF, MessageBoxIconId = 0x0440;  // a message box's statics

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

/// A visible dialog of that process with that caption, message boxes included, once it shows.
inline HWND WaitForDialog(DWORD processId, const char* caption, DWORD timeoutMs = 10000) {
    HWND at = nullptr;
    Eventually(
        [&] {
            while ((at = FindWindowExA(nullptr, at, "#32770", caption)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(at, &owner);
                if (owner == processId && IsWindowVisible(at)) return true;
            }
            return false;
        },
        timeoutMs);
    return at;
}

inline void PostClick(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

/// A message box's text, once OK has dismissed it.
inline std::string Dismiss(HWND box) {
    const std::string text = TextOf(GetDlgItem(box, MessageBoxTextId));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Eventually([&] { return !IsWindow(box); })) << text;
    return text;
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
    HWND Box() const { return WaitForDialog(pid, app.appName().c_str()); }
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

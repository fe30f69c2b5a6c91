// Windows-only code under Wine: the path rules against Wine's own kernel32, the real dialogs
// driven as a user would from a thread of their own (message boxes, the About item, transfers on
// the window timer, the file-open request, help), and Orlup.exe itself from another process.

// The common controls header builds on windows.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>
#include <thread>

#include "app/win32/UpdaterDialog.h"
#include "fakes/FakePlatform.h"
#include "platform/windows/LastBackslash.h"
#include "platform/windows/UniqueHandle.h"
#include "platform/windows/WindowsFileApi.h"
#include "res/resource.h"
#include "text/ErrorCodes.h"
#include "text/MessageText.h"
#include "update/FileNameRule.h"
#include "update/FirmwareModel.h"
#include "update/FlashTexts.h"

namespace orlup::test {
namespace {

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

/// A visible dialog of that process with that caption, message boxes included, once it shows.
HWND WaitForDialog(DWORD processId, const char* caption) {
    HWND at = nullptr;
    Eventually([&] {
        while ((at = FindWindowExA(nullptr, at, "#32770", caption)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(at, &owner);
            if (owner == processId && IsWindowVisible(at)) return true;
        }
        return false;
    });
    return at;
}

void PostClick(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

/// A message box's text, once OK has dismissed it.
std::string Dismiss(HWND box) {
    char text[512] = {};
    GetDlgItemTextA(box, MessageBoxTextId, text, sizeof(text));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Eventually([&] { return !IsWindow(box); })) << text;
    return text;
}

TEST(PathRulesTest, OnlyTheBackslashEndsTheFolder) {
    EXPECT_EQ("0498rev3.hex", FileNameOf("\\\\server\\share\\0498rev3.hex"));
    EXPECT_EQ("", FileNameOf("C:/images/0493.hex"));
    EXPECT_EQ("0493.hex", FileNameOf("C:/images\\0493.hex"));
    EXPECT_EQ("C:", FolderOf("C:\\Orlup.exe"));
}

constexpr UINT WM_KEYF1 = 0x004D;  // what the system posts for F1; it becomes WM_HELP

// The image chosen in the file-open request (a cancelled one keeps it) goes out, read from the
// disk. The About item ends the window menu and answers every command of 0x10 to 0x1F; the
// transfer goes on under its box, and the completion box is owned like any other. E&xit ends the
// next transfer at once and takes the path box's text. The image is shared for reading; a printer
// opens for one user. F1 in either dialog opens the help file named after the program with the
// dialog's context when it has one and it opens; else the help page beside the program; else a box.
TEST(WineTest, ChosenImageGoesOutUnderTheAboutBoxWithHelpAndExitEndsTheNextAtOnce) {
    const DWORD pid = GetCurrentProcessId();
    // The program seems to run from here, so that the test decides which help files it has.
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("orlup-" + std::to_string(pid))).string();
    CreateDirectoryA(folder.c_str(), nullptr);
    WinApp app{folder + "\\Orlup.exe"};
    FakePlatform files;
    HWND mainWindow = nullptr;
    BOOL fileOpens = TRUE;
    INT_PTR pageResult = 33;  // above 32 when it opens
    std::string launches;
    auto named = [&](const char* path) { return std::string(path).substr(folder.size()); };
    app.SetHelpLaunchers(
        {[&](HWND, const char* path, UINT command, ULONG_PTR context) {
             launches += named(path) + FormatText(" %u %u, ", command, UINT(context - 0x20000));
             return fileOpens;
         },
         [&](HWND, const char* verb, const char* path, const char*, const char*, INT show) {
             launches += verb + named(path) + " " + std::to_string(show) + ", ";
             return reinterpret_cast<HINSTANCE>(pageResult);
         }});
    const std::string helpFile = folder + "\\Orlup.HLP";
    std::ofstream(helpFile) << "help";
    std::vector<uint8_t> image(300 * 1024);
    std::iota(image.begin(), image.end(), uint8_t{7});
    const std::string chosen = folder + "\\0493v2.hex";
    std::ofstream(chosen, std::ios::binary)
        .write(reinterpret_cast<char*>(image.data()), image.size());
    WindowsFileApi images;
    FakeDevice& printer = files.AddDevice("printer-SN1");
    int asked = 0;
    // Both requests alike: the Flash filter first, the program's folder, the system folder as the
    // current one whatever the dialog left behind, and the path buffer of 260 bytes.
    auto openFile = [&](OPENFILENAMEA* request) {
        EXPECT_EQ(std::string("Flash Files(*.hex)\0*.hex\0All Files(*.*)\0*.*\0\0", 45),
                  std::string(request->lpstrFilter, 45));
        EXPECT_TRUE(request->nMaxFile == 260 && request->hwndOwner == mainWindow);
        EXPECT_EQ(FolderOf(ModulePath()), request->lpstrInitialDir);
        char system[MAX_PATH] = {};
        GetSystemDirectoryA(system, MAX_PATH);
        EXPECT_EQ(std::filesystem::current_path().string(), system);
        SetCurrentDirectoryA("C:\\");
        const std::string answer = ++asked == 1 ? chosen : "";  // then Cancel
        std::strncpy(request->lpstrFile, answer.c_str(), request->nMaxFile - 1);
        return answer.empty() ? FALSE : TRUE;
    };
    auto dialog = std::make_unique<UpdaterDialog>(app, FlashSystem{files, files, images}, openFile);
    auto item = [&](int id) { return GetDlgItem(mainWindow, id); };
    auto progress = [&] { return SendMessageA(item(IDC_PROGRESS), PBM_GETPOS, 0, 0); };
    auto user = [&] {
        HMENU menu = GetSystemMenu(mainWindow, FALSE);
        const int count = GetMenuItemCount(menu);
        EXPECT_TRUE(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
        EXPECT_EQ(IDM_ABOUT, GetMenuItemID(menu, count - 1));
        PostClick(mainWindow, IDC_SELECT_FILE);  // chosen
        PostClick(mainWindow, IDC_SELECT_FILE);  // cancelled
        PostClick(mainWindow, IDC_UPDATE_FLASH);
        ASSERT_TRUE(Eventually([&] { return !IsWindowEnabled(item(IDC_UPDATE_FLASH)); }));
        EXPECT_TRUE(!IsWindowEnabled(item(IDC_SELECT_FILE)) && IsWindowEnabled(item(IDOK)) &&
                    IsWindowEnabled(item(IDC_IMAGE_PATH)));
        PostMessageA(mainWindow, WM_KEYF1, 0, 0);
        PostMessageA(mainWindow, WM_SYSCOMMAND, IDM_ABOUT | 0xF, 0);
        HWND about = WaitForDialog(pid, "About Orlup");
        EXPECT_EQ(mainWindow, GetWindow(about, GW_OWNER));
        PostMessageA(GetDlgItem(about, IDOK), WM_KEYF1, 0, 0);
        const LRESULT before = progress();
        EXPECT_TRUE(Eventually([&] { return progress() > before; }));
        PostClick(about, IDOK);
        // As every box: the program's name as caption, the exclamation icon.
        const HWND box = WaitForDialog(pid, "Orlup");
        EXPECT_EQ(reinterpret_cast<LRESULT>(LoadIconA(nullptr, IDI_EXCLAMATION)),
                  SendDlgItemMessageA(box, MessageBoxIconId, STM_GETICON, 0, 0));
        int buttons = 0;  // one OK button, modal
        for (int id = IDOK; id <= IDCONTINUE; ++id) buttons += IsWindowVisible(GetDlgItem(box, id));
        EXPECT_TRUE(buttons == 1 && IsWindowVisible(GetDlgItem(box, IDOK)));
        EXPECT_TRUE(GetWindow(box, GW_OWNER) == mainWindow && !IsWindowEnabled(mainWindow));
        // Ticks reach the dialog inside the box's loop too: the first one enables the buttons.
        EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(item(IDC_SELECT_FILE)); }) &&
                    IsWindowEnabled(item(IDC_UPDATE_FLASH)) && progress() == 100);
        EXPECT_EQ(FlashTexts::Completion, Dismiss(box));
        EXPECT_FALSE(dialog->HasFineTimer());  // given back when the timer stopped
        PostClick(mainWindow, IDC_UPDATE_FLASH);
        // One reading: until the command is out the bar still shows the last transfer's 100.
        ASSERT_TRUE(Eventually([&] {
            const LRESULT at = progress();
            return at > 0 && at < 100;
        }));
        SetWindowTextA(item(IDC_IMAGE_PATH), "typed by hand");
        PostClick(mainWindow, IDOK);
    };
    app.SetMainDialog(dialog.get());
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> ended{false};
    std::thread userThread([&] {  // whatever the user leaves open is closed, so that none hangs
        mainWindow = WaitForDialog(pid, MainCaption);
        if (mainWindow != nullptr) user();
        auto close = [](HWND window, LPARAM) { return PostMessageA(window, WM_CLOSE, 0, 0); };
        while (!Eventually([&] { return ended.load(); }, 2000))
            EnumThreadWindows(uiThread, close, 0);
    });
    EXPECT_EQ(dialog->DoModal(), IDOK);
    ended = true;
    userThread.join();
    app.SetMainDialog(nullptr);
    EXPECT_TRUE(asked == 2 && dialog->imagePath() == "typed by hand");
    const UpdateCommand command = BuildUpdateCommand(300 * 1024);
    image.insert(image.begin(), command.begin(), command.end());  // all the printer may get
    const std::vector<uint8_t>& got = printer.received;  // that image, then a part of it again
    ASSERT_TRUE(got.size() > image.size() + command.size() && got.size() < 2 * image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), got.begin()));
    EXPECT_TRUE(std::equal(got.begin() + image.size(), got.end(), image.begin()));
    dialog.reset();
    EXPECT_EQ(0, files.OpenHandles());
    const FileHandle one = images.OpenImage(chosen), two = images.OpenImage(chosen);
    EXPECT_TRUE(one != InvalidFileHandle && images.Close(one) && images.Close(two));
    EXPECT_EQ(images.OpenImage(chosen + "x"), InvalidFileHandle);
    EXPECT_EQ(images.LastError(), ErrorCode::FileNotFound);
    UsbDeviceRecord device;
    device.devicePath = chosen;
    const FileHandle port = images.OpenDevice(device);
    EXPECT_TRUE(images.OpenDevice(device) == InvalidFileHandle && images.Close(port));
    EXPECT_EQ(images.LastError(), ErrorCode::SharingViolation);
    EXPECT_TRUE(DeleteFileA(chosen.c_str()));  // the image let go
    fileOpens = FALSE;
    app.OnHelp(IDD_UPDATER);
    DeleteFileA(helpFile.c_str());
    pageResult = SE_ERR_FNF;
    std::thread dismissing(
        [&] { EXPECT_EQ("Failed to launch help.", Dismiss(WaitForDialog(pid, "Orlup"))); });
    app.OnHelp(IDD_UPDATER);
    dismissing.join();
    EXPECT_EQ(
        "\\Orlup.HLP 1 102, \\Orlup.HLP 1 100, \\Orlup.HLP 1 102, open\\orlup-help.html 1, "
        "open\\orlup-help.html 1, ",
        launches);
    RemoveDirectoryA(folder.c_str());
}

// Orlup.exe as a technician starts it: its own name on the boxes, Wine's Setup API searched.
TEST(OrlupExeTest, RunsTheDialogAndEndsWithExit) {
    const std::string exe = std::string("Z:") + ORLUP_EXE;  // Wine's drive for the Unix root
    const UniqueHandle running(
        reinterpret_cast<HANDLE>(_spawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), nullptr)));
    ASSERT_NE(INVALID_HANDLE_VALUE, running.Get());
    const DWORD processId = GetProcessId(running.Get());
    const HWND mainWindow = WaitForDialog(processId, MainCaption);
    SetWindowTextA(GetDlgItem(mainWindow, IDC_IMAGE_PATH), "C:\\flash\\0498rev3.hex");
    PostClick(mainWindow, IDC_UPDATE_FLASH);
    EXPECT_EQ("No Ilvaran-II printers found", Dismiss(WaitForDialog(processId, "Orlup")));
    PostClick(mainWindow, IDOK);
    if (WaitForSingleObject(running.Get(), 15000) != WAIT_OBJECT_0)
        TerminateProcess(running.Get(), 99);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeProcess(running.Get(), &code) && code == 0) << code;
}

}  // namespace
}  // namespace orlup::test

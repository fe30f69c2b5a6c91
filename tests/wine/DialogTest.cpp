// The real dialogs under Wine: message boxes, the About item, transfers on the window timer, the
// file-open request, help, the write time limit, and Orlup.exe itself from another process.

// The common controls header builds on windows.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>

#include "DialogDriver.h"
#include "platform/windows/UniqueHandle.h"
#include "platform/windows/WindowsFileApi.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FirmwareModel.h"
#include "update/FlashTexts.h"

namespace orlup::test {
namespace {

constexpr const char* ImagePath = "C:\\flash\\0493v2.hex";

TEST_F(DialogTest, SystemMenuEndsWithTheAboutItemOfCommands0x10To0x1F) {
    EXPECT_EQ(IDCANCEL, RunDialog([&] {
                  HMENU menu = GetSystemMenu(mainWindow, FALSE);
                  const int count = GetMenuItemCount(menu);
                  EXPECT_EQ(MF_SEPARATOR,
                            GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
                  EXPECT_EQ(IDM_ABOUT, GetMenuItemID(menu, count - 1));
                  char text[64] = {};
                  GetMenuStringA(menu, count - 1, text, sizeof(text), MF_BYPOSITION);
                  EXPECT_STREQ("&About Orlup...", text);
                  for (WPARAM command : {0x0010, 0x001F}) {
                      PostMessageA(mainWindow, WM_SYSCOMMAND, command, 0);
                      HWND about = WaitForDialog(pid, "About Orlup");
                      EXPECT_EQ(mainWindow, GetWindow(about, GW_OWNER));
                      EXPECT_FALSE(IsWindowEnabled(mainWindow));
                      PostClick(about, IDOK);
                      EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(mainWindow); }));
                  }
                  PostMessageA(mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
              }));
}

TEST_F(DialogTest, TransferGoesOnInTheAboutBoxAndEndsInAMessageBoxAsAnyOther) {
    std::vector<uint8_t> image(300 * 1024);
    std::iota(image.begin(), image.end(), uint8_t{7});
    files.AddImage(ImagePath).bytes = image;
    FakeDevice& printer = files.AddDevice("printer-SN1");
    auto progress = [&] { return SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0); };
    RunDialog([&] {
        StartTransfer(ImagePath);
        ASSERT_TRUE(Eventually([&] { return !IsWindowEnabled(Item(IDC_UPDATE_FLASH)); }));
        EXPECT_FALSE(IsWindowEnabled(Item(IDC_SELECT_FILE)));
        EXPECT_TRUE(IsWindowEnabled(Item(IDOK)) && IsWindowEnabled(Item(IDC_IMAGE_PATH)));
        PostMessageA(mainWindow, WM_SYSCOMMAND, IDM_ABOUT, 0);
        HWND about = WaitForDialog(pid, "About Orlup");
        const LRESULT before = progress();
        EXPECT_TRUE(Eventually([&] { return progress() > before; }));
        PostClick(about, IDOK);
        const MessageBoxView box = Box(false);  // as every box: the program's name as caption,
        EXPECT_EQ(FlashTexts::Completion, box.text);
        EXPECT_TRUE(box.exclamation);  // the exclamation icon, one OK button, modal
        EXPECT_EQ(std::vector<std::string>{"OK"}, box.buttons);
        EXPECT_EQ(mainWindow, GetWindow(box.box, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(mainWindow));
        // Ticks reach the dialog inside the box's loop too: the first one enables the buttons.
        EXPECT_TRUE(Eventually([&] { return ButtonsEnabled(); }));
        EXPECT_EQ(100, progress());
        PostMessageA(box.box, WM_COMMAND, IDOK, 0);
        PostMessageA(mainWindow, WM_COMMAND, IDCANCEL, 0);
    });
    const UpdateCommand command = BuildUpdateCommand(static_cast<uint32_t>(image.size()));
    std::vector<uint8_t> expected(command.begin(), command.end());
    expected.insert(expected.end(), image.begin(), image.end());
    EXPECT_EQ(expected, printer.received);
    EXPECT_EQ(0, files.OpenHandles());
    EXPECT_FALSE(dialog->HasFineTimer());  // given back when the timer stopped
}

TEST_F(DialogTest, ClosingDuringATransferEndsAtOnceAndReleasesThePort) {
    files.AddImage(ImagePath).bytes.resize(1024 * 1024);
    FakeDevice& printer = files.AddDevice("printer-SN1");
    EXPECT_EQ(IDCANCEL, RunDialog([&] {
                  StartTransfer(ImagePath);
                  ASSERT_TRUE(Eventually([&] { return !ButtonsEnabled(); }));
                  PostMessageA(mainWindow, WM_CLOSE, 0, 0);
              }));
    EXPECT_GT(printer.received.size(), 0u);
    EXPECT_LT(printer.received.size(), 1024 * 1024u);
    EXPECT_TRUE(dialog->HasFineTimer());  // given back with the dialog
    dialog.reset();
    EXPECT_EQ(0, files.OpenHandles());
}

// A benchmark, not a test: the pace over 1 MiB at the real period, against the 1024 bytes per
// 10 ms a printer expects. --gtest_also_run_disabled_tests --gtest_filter=*Pace*
TEST_F(DialogTest, DISABLED_PaceOverOneMebibyte) {
    files.AddImage(ImagePath).bytes.resize(1024 * 1024);
    files.AddDevice("printer-SN1");
    double seconds = 0;
    RunDialog([&] {
        const auto start = std::chrono::steady_clock::now();
        StartTransfer(ImagePath);
        EXPECT_TRUE(Eventually([&] { return FindDialog(pid, "Orlup"); }, 60000));
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(FlashTexts::Completion, Box().text);
        PostMessageA(mainWindow, WM_COMMAND, IDCANCEL, 0);
    });
    printf("1 MiB in %.2f s: %.0f bytes/s, %.1f %% of 102400\n", seconds, 1048576 / seconds,
           1048576 / seconds / 1024);
}

// A printer that takes the update command, then nothing more.
TEST_F(DialogTest, PrinterThatStopsTakingDataFailsAfterTheLimitAndTheDialogGoesOn) {
    const std::string pipeName = "\\\\.\\pipe\\orlup-stalled-" + std::to_string(pid);
    UniqueHandle instances[2];  // the search opens the printer once, the transfer again
    for (UniqueHandle& instance : instances) {
        instance.Reset(CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 2, 64,
                                        64, 0, nullptr));
    }
    files.AddDevice(pipeName);
    files.AddImage(ImagePath).bytes.resize(8192);
    WindowsFileApi ports(std::chrono::milliseconds(300));
    auto user = [&] {
        const DWORD start = GetTickCount();
        StartTransfer(ImagePath);
        EXPECT_EQ(JoinText(FlashTexts::WriteFailed, ErrorText(ErrorCode::Timeout)), Box().text);
        EXPECT_GE(GetTickCount() - start, 280u);
        EXPECT_TRUE(Eventually([&] { return ButtonsEnabled(); }));
        PostClick(mainWindow, IDOK);  // E&xit
    };
    EXPECT_EQ(IDOK, RunDialog(user, FlashSystem{files, ports, files}));
    // The printer got the command, nothing of the cancelled piece, and its port is closed.
    char received[64] = {};
    DWORD count = 0;
    EXPECT_TRUE(ReadFile(instances[1].Get(), received, sizeof(received), &count, nullptr));
    EXPECT_EQ(BuildUpdateCommand(8192).size(), count);
    EXPECT_FALSE(PeekNamedPipe(instances[1].Get(), nullptr, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD{ERROR_BROKEN_PIPE}, GetLastError());
}

class FileSelectionTest : public DialogTest {
protected:
    BOOL OpenFile(OPENFILENAMEA* request) override {
        requests.push_back(*request);  // its strings belong to the caller
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, current);
        folders.push_back({request->lpstrInitialDir, current});
        const std::string answer = answers.at(requests.size() - 1);
        std::strncpy(request->lpstrFile, answer.c_str(), request->nMaxFile - 1);
        SetCurrentDirectoryA("C:\\");  // where a choice elsewhere would leave it
        return answer.empty() ? FALSE : TRUE;
    }
    std::vector<std::string> answers;  // an empty answer is Cancel
    std::vector<OPENFILENAMEA> requests;
    std::vector<std::pair<std::string, std::string>> folders;  // initial, current
};

TEST_F(FileSelectionTest, AsksForAFlashFileFromTheProgramFolderAndCancelKeepsTheText) {
    answers = {"C:\\images\\0498rev3.hex", ""};
    RunDialog([&] {
        PostClick(mainWindow, IDC_SELECT_FILE);
        EXPECT_TRUE(Eventually([&] { return TextOf(Item(IDC_IMAGE_PATH)) == answers[0]; }));
        SetWindowTextA(Item(IDC_IMAGE_PATH), "typed by hand");
        PostClick(mainWindow, IDC_SELECT_FILE);
        PostMessageA(mainWindow, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ("typed by hand", dialog->imagePath());
    ASSERT_EQ(2u, requests.size());
    char systemDir[MAX_PATH] = {};
    GetSystemDirectoryA(systemDir, MAX_PATH);
    const std::string program = ModulePath();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const OPENFILENAMEA& request = requests[i];
        EXPECT_EQ(std::string("Flash Files(*.hex)\0*.hex\0All Files(*.*)\0*.*\0\0", 45),
                  std::string(request.lpstrFilter, 45));
        EXPECT_EQ(0u, request.nFilterIndex);
        EXPECT_EQ(0x00880026u, request.Flags);
        EXPECT_NE(nullptr, request.lpfnHook);
        EXPECT_EQ(nullptr, request.lpstrDefExt);
        EXPECT_EQ(260u, request.nMaxFile);
        EXPECT_STREQ("Select Flash File", request.lpstrTitle);
        EXPECT_EQ(mainWindow, request.hwndOwner);
        EXPECT_EQ(program.substr(0, program.rfind('\\')), folders[i].first);
        EXPECT_EQ(systemDir, folders[i].second);
    }
}

// F1: the help file named after the program when it has one, else the help page beside it.
TEST_F(DialogTest, HelpOpensTheFileOrElseThePageAndSaysSoWhenNeitherOpens) {
    struct Case {
        bool fileThere;
        BOOL fileOpens;
        INT_PTR pageResult;  // above 32 when it opens
        const char* launches;
    };
    const Case* now = nullptr;
    std::string launches;
    auto named = [&](const char* path) { return std::string(path).substr(folder.size()); };
    app.SetHelpLaunchers(
        {[&](HWND, const char* path, UINT command, ULONG_PTR context) {
             launches += named(path) + " " + std::to_string(command) + " " +
                         std::to_string(context - 0x20000) + ", ";
             return now->fileOpens;
         },
         [&](HWND, const char* verb, const char* path, const char*, const char*, INT show) {
             launches += verb + named(path) + " " + std::to_string(show) + ", ";
             return reinterpret_cast<HINSTANCE>(now->pageResult);
         }});
    for (const Case& c : {Case{true, TRUE, 33, "\\Orlup.HLP 1 102, \\Orlup.HLP 1 100, "},
                          Case{false, TRUE, 33, "open\\orlup-help.html 1, "},
                          Case{true, FALSE, 33, "\\Orlup.HLP 1 102, open\\orlup-help.html 1, "},
                          Case{false, TRUE, SE_ERR_FNF, "open\\orlup-help.html 1, "}}) {
        now = &c;
        launches.clear();
        if (c.fileThere) std::ofstream(folder + "\\Orlup.HLP") << "help";
        RunDialog([&] {
            PostMessageA(mainWindow, WM_KEYF1, 0, 0);
            if (c.fileThere && c.fileOpens) {  // and in the About box, with its own context
                PostMessageA(mainWindow, WM_SYSCOMMAND, IDM_ABOUT, 0);
                HWND about = WaitForDialog(pid, "About Orlup");
                PostMessageA(GetDlgItem(about, IDOK), WM_KEYF1, 0, 0);
                PostClick(about, IDOK);
            }
            if (c.pageResult <= 32) {
                EXPECT_EQ("Failed to launch help.", Box().text);
            }
            Sleep(200);
            EXPECT_EQ(nullptr, FindDialog(pid, app.appName().c_str()));
            PostMessageA(mainWindow, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(c.launches, launches);
        DeleteFileA((folder + "\\Orlup.HLP").c_str());
    }
}

// Orlup.exe as a technician starts it: its own name on the boxes, Wine's Setup API searched.
TEST(OrlupExeTest, RunsTheDialogAndEndsWithExit) {
    std::string exe = ORLUP_EXE;
    if (exe[0] == '/') exe = "Z:" + exe;  // Wine shows the Unix root as drive Z:
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    const UniqueHandle running(process.hProcess);
    const UniqueHandle thread(process.hThread);
    const HWND mainWindow = WaitForDialog(process.dwProcessId, MainCaption);
    PostClick(mainWindow, IDC_UPDATE_FLASH);
    EXPECT_EQ(FlashTexts::EmptyPath, WaitForBox(process.dwProcessId, "Orlup").text);
    SetWindowTextA(GetDlgItem(mainWindow, IDC_IMAGE_PATH), "C:\\flash\\0498rev3.hex");
    PostClick(mainWindow, IDC_UPDATE_FLASH);
    EXPECT_EQ("No Ilvaran-II printers found", WaitForBox(process.dwProcessId, "Orlup").text);
    PostClick(mainWindow, IDOK);
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(running.Get(), 15000);
    GetExitCodeProcess(running.Get(), &code);
    EXPECT_EQ(0u, code);
    if (code == STILL_ACTIVE) TerminateProcess(running.Get(), 99);
}

}  // namespace
}  // namespace orlup::test

// "Select File": the exact request made of the file-open dialog, and Wine's own dialog answering.

// The dialog control ids header builds on windows.h.
// clang-format off
#include <windows.h>
#include <dlgs.h>
// clang-format on

#include <cstring>

#include "DialogHarness.h"

namespace orlup::test {
namespace {

struct SeenRequest {
    OPENFILENAMEA request{};
    std::string filter;
    std::string initialDir;
    std::string title;
    std::string currentDir;
};

// Two labels and two patterns, each ended by a zero byte, and one more zero to end the list.
const std::string FlashFilter("Flash Files(*.hex)\0*.hex\0All Files(*.*)\0*.*\0\0", 45);

class FileSelectionTest : public DialogHarness {
protected:
    BOOL OpenFile(OPENFILENAMEA* request) override {
        SeenRequest seen;
        seen.request = *request;
        seen.filter.assign(request->lpstrFilter, FlashFilter.size());
        seen.initialDir = request->lpstrInitialDir;
        seen.title = request->lpstrTitle;
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, current);
        seen.currentDir = current;
        requests.push_back(seen);
        const std::string answer = answers.at(requests.size() - 1);
        std::strncpy(request->lpstrFile, answer.c_str(), request->nMaxFile - 1);
        return answer.empty() ? FALSE : TRUE;
    }

    UiScript& ClickSelectFile() {
        return script.Do([this] { PostClick(Main(), IDC_SELECT_FILE); }).Pause(50);
    }

    std::vector<std::string> answers;  // an empty answer is Cancel
    std::vector<SeenRequest> requests;
};

TEST_F(FileSelectionTest, AsksExactlyForAFlashFileFromTheProgramFolder) {
    answers = {"C:\\images\\0498rev3.hex", "D:\\other\\0493.hex"};
    ClickSelectFile().Do([this] {
        EXPECT_EQ("C:\\images\\0498rev3.hex", TextOf(Item(IDC_IMAGE_PATH)));
        SetCurrentDirectoryA("C:\\");
    });
    ClickSelectFile().Do(
        [this] { EXPECT_EQ("D:\\other\\0493.hex", TextOf(Item(IDC_IMAGE_PATH))); });
    Close();
    RunDialog();

    ASSERT_EQ(2u, requests.size());
    char systemDir[MAX_PATH] = {};
    GetSystemDirectoryA(systemDir, MAX_PATH);
    const std::string program = ModulePath();
    for (const SeenRequest& seen : requests) {
        const OPENFILENAMEA& request = seen.request;
        EXPECT_EQ(sizeof(OPENFILENAMEA), request.lStructSize);
        EXPECT_EQ(GetModuleHandleA(nullptr), request.hInstance);
        EXPECT_EQ(FlashFilter, seen.filter);
        EXPECT_EQ(nullptr, request.lpstrCustomFilter);
        EXPECT_EQ(0u, request.nFilterIndex);
        EXPECT_EQ(260u, request.nMaxFile);
        EXPECT_EQ(64u, request.nMaxFileTitle);
        EXPECT_EQ("Select Flash File", seen.title);
        EXPECT_EQ(program.substr(0, program.rfind('\\')), seen.initialDir);
        EXPECT_EQ(0x00880026u, request.Flags);
        EXPECT_EQ(nullptr, request.lpstrDefExt);
        EXPECT_NE(nullptr, request.lpfnHook);
        EXPECT_EQ(systemDir, seen.currentDir);
    }
    EXPECT_NE(nullptr, requests[0].request.hwndOwner);
}

TEST_F(FileSelectionTest, CancelLeavesTheTypedText) {
    answers = {""};
    script.Do([this] { SetWindowTextA(Item(IDC_IMAGE_PATH), "typed by hand"); });
    ClickSelectFile().Do([this] { EXPECT_EQ("typed by hand", TextOf(Item(IDC_IMAGE_PATH))); });
    Close(IDOK);
    RunDialog();
    EXPECT_EQ(1u, requests.size());
    EXPECT_EQ("typed by hand", dialog->imagePath());
}

TEST(FolderOfTest, CutsAtTheLastBackslash) {
    EXPECT_EQ("C:\\Tools\\Orlup", FolderOf("C:\\Tools\\Orlup\\Orlup.exe"));
    EXPECT_EQ("C:", FolderOf("C:\\Orlup.exe"));
}

/// Wine's own file-open dialog, driven the way a user would.
class SystemFileDialogTest : public DialogHarness {
protected:
    BOOL OpenFile(OPENFILENAMEA* request) override { return GetOpenFileNameA(request); }

    HWND FileDialog() const { return FindDialog(GetCurrentProcessId(), "Select Flash File"); }
    UiScript& OpenIt() {
        return script.Do([this] { PostClick(Main(), IDC_SELECT_FILE); })
            .WaitFor("the file dialog", [this] { return FileDialog() != nullptr; });
    }
};

TEST_F(SystemFileDialogTest, OpensOwnedWithTheFlashFilterAndCancels) {
    script.Do([this] { SetWindowTextA(Item(IDC_IMAGE_PATH), "kept"); });
    OpenIt().Do([this] {
        HWND files = FileDialog();
        EXPECT_EQ(Main(), GetWindow(files, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(Main()));
        EXPECT_TRUE(GetWindowLongA(files, GWL_STYLE) & WS_THICKFRAME);  // it can be resized
        EXPECT_EQ("Flash Files(*.hex)", TextOf(GetDlgItem(files, cmb1)));
        PostMessageA(files, WM_COMMAND, IDCANCEL, 0);
    });
    script.WaitFor("the file dialog to close", [this] { return FileDialog() == nullptr; })
        .Do([this] {
            EXPECT_TRUE(IsWindowEnabled(Main()));
            EXPECT_EQ("kept", TextOf(Item(IDC_IMAGE_PATH)));
        });
    Close();
    RunDialog();
}

}  // namespace
}  // namespace orlup::test

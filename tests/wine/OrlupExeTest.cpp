// Orlup.exe started as a technician starts it, and watched and driven from this other process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "WindowProbe.h"

namespace orlup::test {
namespace {

std::string orlupExe;  // the program under test, from the command line

/// Waits up to timeoutMs for a condition that another process makes true.
template <typename Condition>
bool Eventually(Condition condition, DWORD timeoutMs = 15000) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

class OrlupExeTest : public testing::Test {
protected:
    void SetUp() override {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string commandLine = "\"" + orlupExe + "\"";
        ASSERT_TRUE(CreateProcessA(orlupExe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &process));
        ASSERT_TRUE(Eventually([this] { return (main = Dialog(Caption)) != nullptr; }));
    }

    void TearDown() override {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 99);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    HWND Dialog(const std::string& caption) const {
        return FindDialog(process.dwProcessId, caption);
    }

    /// The box's text once one shows with the program's name as its caption; dismissed after.
    std::string NextMessage() {
        std::optional<MessageBoxView> box;
        if (!Eventually([&] { return (box = FindMessageBox(process.dwProcessId, "Orlup")); })) {
            return "<no box>";
        }
        EXPECT_EQ(main, box->owner);
        EXPECT_EQ(std::vector<std::string>{"OK"}, box->buttons);
        EXPECT_NE(nullptr, box->icon);
        PostMessageA(box->box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(Eventually([&] { return !IsWindow(box->box); }));
        return box->text;
    }

    DWORD ExitCode() {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 15000));
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    static constexpr const char* Caption = "Ilvaran Printer Firmware Updater";
    PROCESS_INFORMATION process{};
    HWND main = nullptr;
};

TEST_F(OrlupExeTest, RunsTheDialogWithBoxesCaptionedWithItsName) {
    PostClick(main, 1011);
    EXPECT_EQ("Enter or select a flash file first", NextMessage());

    SetWindowTextA(GetDlgItem(main, 1012), "C:\\flash\\0498rev3.hex");
    PostClick(main, 1011);
    // Wine's setupapi.dll lists no USB device here, so the real search finds no printer.
    EXPECT_EQ("No Ilvaran-II printers found", NextMessage());

    PostMessageA(main, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = nullptr;
    ASSERT_TRUE(Eventually([&] { return (about = Dialog("About Orlup")) != nullptr; }));
    EXPECT_EQ("Orlup Version 1.1.0.0", TextOf(ChildrenOf(about)[1]));
    PostClick(about, IDOK);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(about); }));

    EXPECT_EQ(GetDlgItem(main, IDOK), GetWindow(main, GW_CHILD));
    PostMessageA(main, WM_COMMAND, IDOK, 0);  // "E&xit"
    EXPECT_EQ(0u, ExitCode());
}

}  // namespace
}  // namespace orlup::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: orlup-exe-tests PATH-OF-Orlup.exe\n");
        return 2;
    }
    // CTest hands over a Unix path; Wine shows the Unix root as drive Z:.
    orlup::test::orlupExe = argv[1][0] == '/' ? std::string("Z:") + argv[1] : argv[1];
    return RUN_ALL_TESTS();
}

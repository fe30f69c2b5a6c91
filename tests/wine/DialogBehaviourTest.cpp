// Keys, system commands, help and the message-box convention of the real main dialog.
#include "DialogHarness.h"
#include "update/FlashTexts.h"

namespace orlup::test {
namespace {

constexpr UINT WM_KEYF1 = 0x004D;  // what the system posts for F1; it becomes WM_HELP

class DialogBehaviourTest : public DialogHarness {
protected:
    void PostKey(HWND window, WPARAM key) { PostMessageA(window, WM_KEYDOWN, key, 0); }
    HWND FindAbout() const { return FindDialog(GetCurrentProcessId(), "About Orlup"); }
};

TEST_F(DialogBehaviourTest, EnterOnExitEndsWithOk) {
    script.Do([this] { PostKey(GetFocus(), VK_RETURN); });
    EXPECT_EQ(IDOK, RunDialog());
}

TEST_F(DialogBehaviourTest, EnterInTheEditBoxTakesItsText) {
    script.Do([this] {
        SetFocus(Item(IDC_IMAGE_PATH));
        SetWindowTextA(Item(IDC_IMAGE_PATH), " C:\\typed\\0493.hex ");
        PostKey(Item(IDC_IMAGE_PATH), VK_RETURN);
    });
    EXPECT_EQ(IDOK, RunDialog());
    EXPECT_EQ(" C:\\typed\\0493.hex ", dialog->imagePath());  // as typed, nothing trimmed
}

TEST_F(DialogBehaviourTest, EscEndsWithoutTakingTheText) {
    script.Do([this] {
        SetFocus(Item(IDC_IMAGE_PATH));
        SetWindowTextA(Item(IDC_IMAGE_PATH), "C:\\typed\\0493.hex");
        PostKey(Item(IDC_IMAGE_PATH), VK_ESCAPE);
    });
    EXPECT_EQ(IDCANCEL, RunDialog());
    EXPECT_EQ("", dialog->imagePath());
}

TEST_F(DialogBehaviourTest, SystemCommandsOfTheAboutRangeOpenTheAboutBox) {
    for (WPARAM command : {0x0010, 0x001F}) {
        script.Do([this, command] { PostMessageA(Main(), WM_SYSCOMMAND, command, 0); })
            .WaitFor("the About box", [this] { return FindAbout() != nullptr; })
            .Do([this] { PostMessageA(FindAbout(), WM_KEYDOWN, VK_ESCAPE, 0); })
            .WaitFor("the About box to close", [this] { return FindAbout() == nullptr; });
    }
    script.Do([this] { PostMessageA(Main(), WM_SYSCOMMAND, 0x0020, 0); })
        .Pause(200)
        .Do([this] { EXPECT_EQ(nullptr, FindAbout()); })
        .Do([this] { PostMessageA(Main(), WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(IDCANCEL, RunDialog());
}

TEST_F(DialogBehaviourTest, MessageBoxesFollowTheConvention) {
    script.Do([this] { PostMessageA(Main(), WM_SYSCHAR, 'u', 0); });  // Alt+U
    WaitForBox().Do([this] {
        const MessageBoxView box = *Box();
        EXPECT_EQ(FlashTexts::EmptyPath, box.text);
        EXPECT_EQ(AppNameFromModulePath(ModulePath()), box.caption);
        EXPECT_TRUE(ShowsExclamation(box));
        EXPECT_EQ(std::vector<std::string>{"OK"}, box.buttons);
        EXPECT_EQ(Main(), box.owner);
        EXPECT_FALSE(IsWindowEnabled(Main()));
    });
    DismissBox().Do([this] { EXPECT_TRUE(IsWindowEnabled(Main())); });
    Close();
    RunDialog();
}

TEST_F(DialogBehaviourTest, F1AsksForTheHelpOfTheDialogWithTheFocus) {
    HWND about = nullptr;
    HWND mainWindow = nullptr;
    script
        .Do([&] {
            mainWindow = Main();
            PostMessageA(GetFocus(), WM_KEYF1, 0, 0);
        })
        .WaitFor("help for the main dialog", [this] { return helpRequests.size() == 1; })
        .Do([this] { PostMessageA(Main(), WM_SYSCOMMAND, UpdaterDialog::AboutCommand, 0); })
        .WaitFor("the About box", [&] { return (about = FindAbout()) != nullptr; })
        .Do([&] { PostMessageA(GetDlgItem(about, IDOK), WM_KEYF1, 0, 0); })
        .WaitFor("help for the About box", [this] { return helpRequests.size() == 2; })
        .Do([&] { PostClick(about, IDOK); });
    Close();
    RunDialog();

    ASSERT_EQ(2u, helpRequests.size());
    const std::string program = ModulePath();
    EXPECT_EQ(program.substr(0, program.rfind('.')) + ".HLP", helpRequests[0].file);
    EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), helpRequests[0].command);
    EXPECT_EQ(0x20000u + IDD_UPDATER, helpRequests[0].context);
    EXPECT_EQ(0x20000u + IDD_ABOUT, helpRequests[1].context);
    EXPECT_EQ(mainWindow, helpRequests[1].window);
}

TEST_F(DialogBehaviourTest, HelpThatCannotStartIsToldInTheBox) {
    helpViewerWorks = FALSE;
    script.Do([this] { PostMessageA(GetFocus(), WM_KEYF1, 0, 0); });
    WaitForBox().Do([this] { EXPECT_EQ("Failed to launch help.", Box()->text); });
    DismissBox();
    Close();
    RunDialog();
}

TEST(ApplicationNamesTest, ComeFromTheModulePath) {
    EXPECT_EQ("Orlup", AppNameFromModulePath("C:\\Program Files\\Orlup\\Orlup.EXE"));
    EXPECT_EQ("Orlup", AppNameFromModulePath("Z:/build/Orlup.exe"));
    EXPECT_EQ("Orlup", AppNameFromModulePath("C:Orlup.exe"));
    EXPECT_EQ("C:\\Program Files\\Orlup\\Orlup.HLP",
              HelpFileFromModulePath("C:\\Program Files\\Orlup\\Orlup.EXE"));
}

TEST(MinimisedIconTest, IsCentredWithHalvesTruncatedTowardZero) {
    const POINT wide = MinimisedIconPosition(RECT{0, 0, 160, 31}, 32, 32);
    EXPECT_EQ(64, wide.x);
    EXPECT_EQ(0, wide.y);
    const POINT narrow = MinimisedIconPosition(RECT{0, 0, 20, 31}, 32, 32);
    EXPECT_EQ(-5, narrow.x);
}

}  // namespace
}  // namespace orlup::test

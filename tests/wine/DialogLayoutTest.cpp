// The main dialog and the About box as Win32 shows them: controls, order, sizes, menu, icon.

// The common controls header builds on windows.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "DialogHarness.h"

namespace orlup::test {
namespace {

class DialogLayoutTest : public DialogHarness {
protected:
    /// Every control of the template is a window with its id, class, text, style and rectangle.
    void ExpectControlsAsTemplated(HWND dialog, const layout::DialogTemplate& expected) {
        const std::vector<HWND> children = ChildrenOf(dialog);
        ASSERT_EQ(expected.controlCount, children.size());
        for (std::size_t i = 0; i < children.size(); ++i) {
            const layout::ControlTemplate& want = expected.controls[i];
            HWND control = children[i];
            SCOPED_TRACE(want.text);
            EXPECT_EQ(want.id, static_cast<int16_t>(GetDlgCtrlID(control)));
            EXPECT_EQ(want.windowClass, ClassOf(control));
            const bool isIcon =
                want.windowClass == std::string("static") && (want.style & SS_TYPEMASK) == SS_ICON;
            if (!isIcon) {
                EXPECT_EQ(want.text, TextOf(control));
            }
            ExpectStyle(control, want.style);
            // The dialog manager turns position and size into pixels each on its own.
            const RECT at = DialogUnitsToPixels(dialog, want.x, want.y, 0, 0);
            const RECT size = DialogUnitsToPixels(dialog, 0, 0, want.width, want.height);
            const RECT actual = RectInParent(control);
            EXPECT_EQ(at.left, actual.left);
            EXPECT_EQ(at.top, actual.top);
            if (isIcon) continue;  // an icon control takes the icon's own size
            EXPECT_EQ(size.right, actual.right - actual.left);
            EXPECT_EQ(size.bottom, actual.bottom - actual.top);
        }
    }

    /// The templated style bits are all there, the border aside: the dialog manager and the
    /// controls themselves turn it into edges or paint it, each system its own way.
    void ExpectStyle(HWND control, uint32_t templated) {
        const uint32_t expected = templated & ~static_cast<uint32_t>(WS_BORDER);
        EXPECT_EQ(expected, static_cast<uint32_t>(StyleOf(control)) & expected);
    }

    void ExpectCentredIn(HWND window, const RECT& area) {
        RECT own{};
        GetWindowRect(window, &own);
        EXPECT_NEAR((area.left + area.right) / 2, (own.left + own.right) / 2, 1);
        EXPECT_NEAR((area.top + area.bottom) / 2, (own.top + own.bottom) / 2, 1);
    }
};

TEST_F(DialogLayoutTest, MainDialogOpensAsTemplated) {
    script.Do([this] {
        EXPECT_EQ(layout::UpdaterTemplate.caption, TextOf(Main()));
        const LONG style = StyleOf(Main());
        EXPECT_EQ(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                  style & (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU));
        EXPECT_EQ(0, style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
        EXPECT_TRUE(GetWindowLongA(Main(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
        EXPECT_EQ(nullptr, GetWindow(Main(), GW_OWNER));

        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Main(), WM_GETFONT, 0, 0)), sizeof(font),
                   &font);
        EXPECT_STREQ("MS Sans Serif", font.lfFaceName);
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), font.lfHeight);
        ReleaseDC(nullptr, screen);

        RECT client{};
        GetClientRect(Main(), &client);
        const RECT size = DialogUnitsToPixels(Main(), 0, 0, 274, 118);
        EXPECT_EQ(size.right, client.right);
        EXPECT_EQ(size.bottom, client.bottom);
        ExpectControlsAsTemplated(Main(), layout::UpdaterTemplate);

        RECT work{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        ExpectCentredIn(Main(), work);
    });
    script.Do([this] {
        EXPECT_EQ(Item(IDOK), GetFocus());
        EXPECT_EQ(MAKELONG(IDOK, DC_HASDEFID), SendMessageA(Main(), DM_GETDEFID, 0, 0));
        std::vector<int> tabOrder;
        HWND at = Item(IDOK);
        do {
            tabOrder.push_back(GetDlgCtrlID(at));
            at = GetNextDlgTabItem(Main(), at, FALSE);
        } while (at != Item(IDOK) && tabOrder.size() < 10);
        EXPECT_EQ((std::vector<int>{IDOK, IDC_UPDATE_FLASH, IDC_IMAGE_PATH, IDC_SELECT_FILE}),
                  tabOrder);

        PBRANGE range{};
        SendMessageA(Item(IDC_PROGRESS), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(0, range.iLow);
        EXPECT_EQ(100, range.iHigh);
        EXPECT_EQ(0, SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0));
        EXPECT_EQ("", TextOf(Item(IDC_IMAGE_PATH)));
        EXPECT_TRUE(IsWindowEnabled(Item(IDC_UPDATE_FLASH)));
        EXPECT_TRUE(IsWindowEnabled(Item(IDC_SELECT_FILE)));
    });
    Close();
    EXPECT_EQ(IDCANCEL, RunDialog());
}

TEST_F(DialogLayoutTest, SystemMenuEndsWithTheAboutItemAndTheIconIsSet) {
    script.Do([this] {
        HMENU menu = GetSystemMenu(Main(), FALSE);
        const int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_EQ(MF_SEPARATOR, GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
        EXPECT_EQ(UpdaterDialog::AboutCommand, GetMenuItemID(menu, count - 1));
        char text[64] = {};
        GetMenuStringA(menu, count - 1, text, sizeof(text), MF_BYPOSITION);
        EXPECT_STREQ("&About Orlup...", text);

        const auto icon = reinterpret_cast<LPARAM>(dialog->icon());
        EXPECT_NE(0, icon);
        EXPECT_EQ(icon, SendMessageA(Main(), WM_GETICON, ICON_BIG, 0));
        EXPECT_EQ(icon, SendMessageA(Main(), WM_GETICON, ICON_SMALL, 0));
        EXPECT_EQ(icon, SendMessageA(Main(), WM_QUERYDRAGICON, 0, 0));
    });
    Close();
    RunDialog();
}

TEST_F(DialogLayoutTest, AboutBoxIsOwnedCentredAndTemplated) {
    HWND about = nullptr;
    script.Do([this] { PostMessageA(Main(), WM_SYSCOMMAND, UpdaterDialog::AboutCommand, 0); })
        .WaitFor(
            "the About box",
            [&] { return (about = FindDialog(GetCurrentProcessId(), "About Orlup")) != nullptr; })
        .Do([&] {
            EXPECT_EQ(Main(), GetWindow(about, GW_OWNER));
            EXPECT_FALSE(IsWindowEnabled(Main()));
            EXPECT_EQ(0, StyleOf(about) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
            RECT owner{};
            GetWindowRect(Main(), &owner);
            ExpectCentredIn(about, owner);
            ExpectControlsAsTemplated(about, layout::AboutTemplate);
            HWND iconControl = ChildrenOf(about)[0];
            EXPECT_NE(0, SendMessageA(iconControl, STM_GETICON, 0, 0));
            EXPECT_EQ(GetDlgItem(about, IDOK), GetFocus());
            PostClick(about, IDOK);
        })
        .WaitFor("the About box to close", [&] { return !IsWindow(about); })
        .Do([this] { EXPECT_TRUE(IsWindowEnabled(Main())); });
    Close();
    RunDialog();
}

}  // namespace
}  // namespace orlup::test

// The dialog templates, resource numbers and fixed texts of the user interface, for every platform.
#pragma once

// Resource numbers. Plain macros so that a resource script can include this header too.
#define IDD_ABOUT 100
#define IDS_ABOUT_ITEM 101
#define IDD_UPDATER 102
#define IDI_ORLUP 128
#define IDC_UPDATE_FLASH 1011
#define IDC_IMAGE_PATH 1012
#define IDC_SELECT_FILE 1013
#define IDC_PROGRESS 1015
#define IDM_ABOUT 0x0010

#ifndef RC_INVOKED

#include <cstddef>
#include <cstdint>

#include "Version.h"

namespace orlup::layout {

constexpr int IdOk = 1;
constexpr int IdStatic = -1;

// Window styles as a dialog template spells them; the low nibble of a button or static style
// picks its kind.
namespace Style {
constexpr uint32_t TabStop = 0x00010000;
constexpr uint32_t Group = 0x00020000;
constexpr uint32_t Border = 0x00800000;
constexpr uint32_t KindMask = 0x0000000F;
constexpr uint32_t PushButton = 0x0;
constexpr uint32_t DefPushButton = 0x1;
constexpr uint32_t GroupBox = 0x7;
constexpr uint32_t StaticLeft = 0x0;
constexpr uint32_t StaticIcon = 0x3;
constexpr uint32_t StaticNoPrefix = 0x80;
constexpr uint32_t MinimizeBox = 0x00020000;  // in a dialog's own style
constexpr uint32_t MaximizeBox = 0x00010000;
constexpr uint32_t AppWindow = 0x00040000;  // extended style: a taskbar button
}  // namespace Style

// Window classes of the controls, as the template names them.
constexpr const char* ButtonClass = "button";
constexpr const char* EditClass = "edit";
constexpr const char* StaticClass = "static";
constexpr const char* ProgressClass = "msctls_progress32";

/// One control of a template; position and size in dialog units.
struct ControlTemplate {
    int id;
    const char* windowClass;
    const char* text;
    int x;
    int y;
    int width;
    int height;
    uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width;  // client area, dialog units
    int height;
    uint32_t style;
    uint32_t exStyle;
    const char* fontName;
    int fontPoints;
    const ControlTemplate* controls;  // in template order, which is the tab order
    std::size_t controlCount;
};

constexpr const char* InstructionText =
    "Change the rotary switch to position 4, and re-power the printer before beginning this "
    "update";

// Template order is also the z-order from the top and the tab order.
inline constexpr ControlTemplate UpdaterControls[] = {
    {IdOk, ButtonClass, "E&xit", 217, 98, 50, 14, 0x50010001},
    {IDC_UPDATE_FLASH, ButtonClass, "&Update Flash", 17, 65, 67, 15, 0x50010000},
    {IDC_IMAGE_PATH, EditClass, "", 95, 39, 126, 14, 0x50810080},
    {IDC_SELECT_FILE, ButtonClass, "Select File", 17, 39, 67, 14, 0x50010000},
    {IDC_PROGRESS, ProgressClass, "Progress1", 95, 66, 160, 14, 0x50800000},
    {IdStatic, ButtonClass, "Update Ilvaran Firmware", 7, 4, 260, 87, 0x50000007},
    {IdStatic, StaticClass, InstructionText, 14, 16, 232, 17, 0x50020000},
};

// clang-format off
inline constexpr DialogTemplate UpdaterTemplate = {
    IDD_UPDATER, "Ilvaran Printer Firmware Updater",
    274, 118,                   // size
    0x90C800C0, 0x00040000,     // style, extended style
    "MS Sans Serif", 8,
    UpdaterControls, sizeof(UpdaterControls) / sizeof(UpdaterControls[0]),
};
// clang-format on

constexpr const char* AboutVersionText = "Orlup Version " ORLUP_VERSION;
constexpr const char* AboutSecondLine = "Ilvaran firmware loader";

inline constexpr ControlTemplate AboutControls[] = {
    {IdStatic, StaticClass, "", 11, 17, 20, 20, 0x50000003},  // shows icon IDI_ORLUP
    {IdStatic, StaticClass, AboutVersionText, 40, 10, 119, 8, 0x50020080},
    {IdStatic, StaticClass, AboutSecondLine, 40, 25, 140, 8, 0x50020000},
    {IdOk, ButtonClass, "OK", 178, 7, 50, 14, 0x50030001},
};

// clang-format off
inline constexpr DialogTemplate AboutTemplate = {
    IDD_ABOUT, "About Orlup",
    235, 55,
    0x80C800C0, 0,
    "MS Sans Serif", 8,
    AboutControls, sizeof(AboutControls) / sizeof(AboutControls[0]),
};
// clang-format on

/// String IDS_ABOUT_ITEM: the menu item that opens the About box with command IDM_ABOUT.
constexpr const char* AboutItemText = "&About Orlup...";

// The file-open dialog of "Select File".
constexpr const char* FileDialogTitle = "Select Flash File";
constexpr const char* FlashFilterLabel = "Flash Files(*.hex)";
constexpr const char* AllFilterLabel = "All Files(*.*)";
/// The longest full path the file dialog hands back; a longer choice counts as a cancellation.
constexpr std::size_t MaxChosenPath = 259;

/// What the framework shows when the help viewer cannot be started.
constexpr const char* HelpFailedText = "Failed to launch help.";

}  // namespace orlup::layout

#endif  // RC_INVOKED

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

// Window classes of the controls, as the template names them; a control of kind Button has the
// class ButtonClass, and so on.
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

// The tables and texts of res/DialogTemplates.def.
// clang-format off
#define ORLUP_CONTROL(name, id, kind, text, x, y, width, height, style) \
    constexpr const char* name##Text = text;
#define ORLUP_STRING(id, name, text) constexpr const char* name = text;
#include "DialogTemplates.def"

#define ORLUP_DIALOG(name, id, kind, caption, width, height, style, exStyle, fontName, points) \
    inline constexpr ControlTemplate name##Controls[] = {
#define ORLUP_CONTROL(name, id, kind, text, x, y, width, height, style) \
    {id, kind##Class, text, x, y, width, height, style},
#define ORLUP_ICON(icon, x, y, width, height, style) \
    {IdStatic, StaticClass, "", x, y, width, height, style},
#define ORLUP_END_DIALOG(name) };
#include "DialogTemplates.def"

#define ORLUP_DIALOG(name, id, kind, caption, width, height, style, exStyle, fontName, points) \
    inline constexpr DialogTemplate name##Template = {                                        \
        id, caption, width, height, style, exStyle, fontName, points, name##Controls,          \
        sizeof(name##Controls) / sizeof(name##Controls[0])};
#include "DialogTemplates.def"
// clang-format on

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

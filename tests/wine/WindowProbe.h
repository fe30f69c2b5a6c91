// Looks at windows through Win32 alone, as an outside observer would: texts, classes, boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orlup::test {

std::string TextOf(HWND window);
/// The class name, lower case.
std::string ClassOf(HWND window);
LONG StyleOf(HWND window);
/// The direct children in z-order, which for a dialog is template order.
std::vector<HWND> ChildrenOf(HWND parent);

/// The first visible top-level window that matches, of any thread or process.
HWND FindTopWindow(const std::function<bool(HWND)>& match);
/// A visible dialog-class window with this caption, owned by this process.
HWND FindDialog(DWORD processId, const std::string& caption);

/// A message box as the user sees it.
struct MessageBoxView {
    HWND box = nullptr;
    std::string caption;
    std::string text;
    HICON icon = nullptr;
    std::vector<std::string> buttons;
    HWND owner = nullptr;
};
std::optional<MessageBoxView> FindMessageBox(DWORD processId, const std::string& caption);
/// Whether a box shows the system's exclamation icon.
bool ShowsExclamation(const MessageBoxView& view);

/// Clicks a button the way the dialog manager reports a click, without waiting for the result.
void PostClick(HWND dialog, int controlId);

/// A control's rectangle in its dialog's client coordinates.
RECT RectInParent(HWND control);
/// Dialog units turned into pixels by the dialog's own font.
RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height);

}  // namespace orlup::test

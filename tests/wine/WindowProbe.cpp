// Window inspection through Win32 calls that work on windows of this and other processes.
#include "WindowProbe.h"

#include <algorithm>
#include <cctype>

namespace orlup::test {

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof(name));
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

LONG StyleOf(HWND window) { return GetWindowLongA(window, GWL_STYLE); }

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

HWND FindTopWindow(const std::function<bool(HWND)>& match) {
    struct Search {
        const std::function<bool(HWND)>* match;
        HWND found;
    } search{&match, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (!IsWindowVisible(window) || !(*s->match)(window)) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDialog(DWORD processId, const std::string& caption) {
    return FindTopWindow([&](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner == processId && ClassOf(window) == "#32770" && TextOf(window) == caption;
    });
}

std::optional<MessageBoxView> FindMessageBox(DWORD processId, const std::string& caption) {
    HWND box = FindDialog(processId, caption);
    if (box == nullptr) return std::nullopt;
    MessageBoxView view;
    view.box = box;
    view.caption = caption;
    view.owner = GetWindow(box, GW_OWNER);
    for (HWND child : ChildrenOf(box)) {
        const std::string kind = ClassOf(child);
        if (kind == "button" && IsWindowVisible(child)) {
            view.buttons.push_back(TextOf(child));
        } else if (kind == "static" && (StyleOf(child) & SS_TYPEMASK) == SS_ICON) {
            view.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        } else if (kind == "static" && !TextOf(child).empty()) {
            view.text = TextOf(child);
        }
    }
    return view;
}

bool ShowsExclamation(const MessageBoxView& view) {
    return view.icon != nullptr && view.icon == LoadIconA(nullptr, IDI_EXCLAMATION);
}

void PostClick(HWND dialog, int controlId) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, controlId)));
}

RECT RectInParent(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height) {
    RECT rect{x, y, x + width, y + height};
    MapDialogRect(dialog, &rect);
    return rect;
}

}  // namespace orlup::test

// The file-open dialog of "Select File", asked through GetOpenFileNameA.
#include "app/win32/FlashFileChooser.h"

#include "res/resource.h"

namespace orlup {

namespace {

// Two labels and patterns, each ended by a zero; the literal's own terminator ends the list.
constexpr char FlashFileFilter[] = "Flash Files(*.hex)\0*.hex\0All Files(*.*)\0*.*\0";

// Hide read-only, overwrite prompt, a hook, explorer style, sizing: 0x00880026.
constexpr DWORD FlashFileDialogFlags =
    OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

// The explorer-style dialog calls this for every message of its hook child; leaving all of
// them to the dialog keeps its own behaviour.
UINT_PTR CALLBACK FileDialogHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

std::optional<std::string> FlashFileChooser::Choose(HWND owner, HINSTANCE module,
                                                    const std::string& initialDir,
                                                    const OpenFileDialog& openFileDialog) {
    char path[PathBufferSize] = {};
    char title[TitleBufferSize] = {};
    OPENFILENAMEA request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.hInstance = module;
    request.lpstrFilter = FlashFileFilter;
    request.lpstrFile = path;
    request.nMaxFile = PathBufferSize;
    request.lpstrFileTitle = title;
    request.nMaxFileTitle = TitleBufferSize;
    request.lpstrInitialDir = initialDir.c_str();
    request.lpstrTitle = layout::FileDialogTitle;
    request.Flags = FlashFileDialogFlags;
    request.lpfnHook = &FileDialogHook;
    // A path that does not fit the buffer makes the dialog fail, which counts as Cancel.
    if (!openFileDialog(&request)) return std::nullopt;
    return std::string(path);
}

}  // namespace orlup

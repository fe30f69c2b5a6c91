// The file-open dialog of "Select File": exactly the request the updater makes of the system.
#pragma once

// The dialog header builds on windows.h.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <functional>
#include <optional>
#include <string>

namespace orlup {

/// GetOpenFileNameA's own shape, so that tests can look at the request and answer it.
using OpenFileDialog = std::function<BOOL(OPENFILENAMEA*)>;

class FlashFileChooser {
public:
    static constexpr std::size_t PathBufferSize = MAX_PATH;
    static constexpr std::size_t TitleBufferSize = 64;

    /// A modal file-open dialog owned by owner and starting in initialDir: the full path
    /// chosen, or nothing after Cancel or a failure of the dialog.
    static std::optional<std::string> Choose(HWND owner, HINSTANCE module,
                                             const std::string& initialDir,
                                             const OpenFileDialog& openFileDialog);
};

}  // namespace orlup

// The application object's services: names from the module path, message boxes, help.
#include "app/win32/WinApp.h"

#include "app/win32/Dialog.h"
#include "platform/windows/LastBackslash.h"
#include "res/resource.h"

namespace orlup {

namespace {
// The help viewer's context for a dialog is its template number in this range.
constexpr ULONG_PTR DialogHelpContextBase = 0x20000;
// The HTML help page that ships beside the executable.
constexpr const char* HelpPageName = "orlup-help.html";

std::string CutAtLastDot(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(0, dot);
}
}  // namespace

std::string ModulePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string AppNameFromModulePath(const std::string& modulePath) {
    const std::string stem = CutAtLastDot(modulePath);
    const std::size_t separator = stem.find_last_of("\\/:");
    return separator == std::string::npos ? stem : stem.substr(separator + 1);
}

WinApp::WinApp(const std::string& modulePath)
    : module_(GetModuleHandleA(nullptr)),
      appName_(AppNameFromModulePath(modulePath)),
      helpFilePath_(CutAtLastDot(modulePath) + ".HLP"),
      helpPagePath_(FolderOf(modulePath) + "\\" + HelpPageName) {}

int WinApp::Run() {
    // The modal dialog inside InitInstance is the whole program; InitInstance returns false,
    // so no message loop of the application's own ever runs and the program ends here.
    InitInstance();
    return 0;
}

HWND WinApp::mainWindow() const { return mainDialog_ != nullptr ? mainDialog_->hwnd() : nullptr; }

void WinApp::DoMessageBox(const std::string& text) const {
    HWND owner = mainWindow();
    // Above an open About box the box must belong to that box, or the About box would stay
    // usable while the message waits.
    if (owner != nullptr) owner = GetLastActivePopup(owner);
    MessageBoxA(owner, text.c_str(), appName_.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void WinApp::OnHelp(int templateId) const {
    if (OpenHelpFile(templateId) || OpenHelpPage()) return;
    DoMessageBox(layout::HelpFailedText);
}

bool WinApp::OpenHelpFile(int templateId) const {
    // Windows has shipped no WinHelp viewer since Vista: only a help file that is there is worth
    // handing to it.
    if (GetFileAttributesA(helpFilePath_.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    const ULONG_PTR context = DialogHelpContextBase + static_cast<ULONG_PTR>(templateId);
    return launchers_.winHelp(mainWindow(), helpFilePath_.c_str(), HELP_CONTEXT, context) != FALSE;
}

bool WinApp::OpenHelpPage() const {
    const HINSTANCE result = launchers_.shellExecute(mainWindow(), "open", helpPagePath_.c_str(),
                                                     nullptr, nullptr, SW_SHOWNORMAL);
    // The result is an error code of 32 or less, or anything above for success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace orlup

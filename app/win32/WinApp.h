// The application object's services shared by the dialogs: names, main window, message box, help.
#pragma once

// The shell's header builds on windows.h.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <functional>
#include <string>

namespace orlup {

class Dialog;

/// The full path of the running executable.
std::string ModulePath();

/// Stands in for the application framework's application object.
class WinApp {
public:
    /// WinHelpA and ShellExecuteA, which start the help viewers, so that tests can stand in.
    struct HelpLaunchers {
        std::function<BOOL(HWND, const char*, UINT, ULONG_PTR)> winHelp = &::WinHelpA;
        std::function<HINSTANCE(HWND, const char*, const char*, const char*, const char*, INT)>
            shellExecute = &::ShellExecuteA;
    };

    /// Records the running module and derives the application name and the help files from
    /// its path.
    WinApp() : WinApp(ModulePath()) {}
    /// As if the program ran from modulePath.
    explicit WinApp(const std::string& modulePath);
    virtual ~WinApp() = default;
    WinApp(const WinApp&) = delete;
    WinApp& operator=(const WinApp&) = delete;

    /// The framework's start: InitInstance, then the exit; returns the exit status, 0.
    int Run();
    /// Runs the program; false ends it once it returns.
    virtual bool InitInstance() { return false; }

    HINSTANCE module() const { return module_; }
    /// The executable's file name without extension: the caption of every message box.
    const std::string& appName() const { return appName_; }

    /// The dialog that owns message boxes and modal dialogs; none once its window is gone.
    void SetMainDialog(const Dialog* dialog) { mainDialog_ = dialog; }
    HWND mainWindow() const;

    /// A modal box with the exclamation icon and one OK button, owned by the main window or
    /// the pop-up last active above it.
    void DoMessageBox(const std::string& text) const;

    /// The help file named after the executable, with the context of a dialog template, when
    /// there is one; else the HTML help page beside the executable. Says so when neither opens.
    void OnHelp(int templateId) const;
    void SetHelpLaunchers(HelpLaunchers launchers) { launchers_ = std::move(launchers); }

private:
    bool OpenHelpFile(int templateId) const;
    bool OpenHelpPage() const;

    HINSTANCE module_;
    std::string appName_;
    std::string helpFilePath_;
    std::string helpPagePath_;
    const Dialog* mainDialog_ = nullptr;
    HelpLaunchers launchers_;
};

/// The module's full path cut at its last ".", then the part after the last "\", "/" or ":".
std::string AppNameFromModulePath(const std::string& modulePath);

}  // namespace orlup

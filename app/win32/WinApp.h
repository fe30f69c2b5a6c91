// The application object's services shared by the dialogs: names, main window, message box, help.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace orlup {

class Dialog;

/// Stands in for the application framework's application object.
class WinApp {
public:
    /// WinHelpA's own shape, so that tests can stand in for the help viewer.
    using HelpViewer = std::function<BOOL(HWND, const char*, UINT, ULONG_PTR)>;

    /// Records the running module and derives the application name and the help file from it.
    WinApp();
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
    /// The executable's path with the extension ".HLP".
    const std::string& helpFilePath() const { return helpFilePath_; }

    /// The dialog that owns message boxes and modal dialogs; none once its window is gone.
    void SetMainDialog(const Dialog* dialog) { mainDialog_ = dialog; }
    HWND mainWindow() const;

    /// A modal box with the exclamation icon and one OK button, owned by the main window or
    /// the pop-up last active above it.
    void DoMessageBox(const std::string& text) const;

    /// Asks the help viewer for the context of a dialog template; says so when it cannot.
    void OnHelp(int templateId) const;
    void SetHelpViewer(HelpViewer viewer) { helpViewer_ = std::move(viewer); }

private:
    HINSTANCE module_;
    std::string appName_;
    std::string helpFilePath_;
    const Dialog* mainDialog_ = nullptr;
    HelpViewer helpViewer_;
};

/// The module's full path cut at its last ".", then the part after the last "\", "/" or ":".
std::string AppNameFromModulePath(const std::string& modulePath);

/// The module's full path with its extension replaced by ".HLP".
std::string HelpFileFromModulePath(const std::string& modulePath);

/// The full path of the running executable.
std::string ModulePath();

}  // namespace orlup

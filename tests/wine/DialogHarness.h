// A fixture that runs the real main dialog modally over scripted printers and images.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UiScript.h"
#include "WindowProbe.h"
#include "app/win32/UpdaterDialog.h"
#include "fakes/FakePlatform.h"
#include "res/resource.h"

namespace orlup::test {

struct HelpRequest {
    HWND window;
    std::string file;
    UINT command;
    ULONG_PTR context;
};

class DialogHarness : public testing::Test {
protected:
    DialogHarness() {
        app.SetHelpViewer([this](HWND window, const char* file, UINT command, ULONG_PTR data) {
            helpRequests.push_back({window, file, command, data});
            return helpViewerWorks;
        });
    }

    /// Runs the dialog until it ends, with the script's steps inside its loops.
    INT_PTR RunDialog() {
        dialog = std::make_unique<UpdaterDialog>(
            app, files.System(), [this](OPENFILENAMEA* request) { return OpenFile(request); });
        app.SetMainDialog(dialog.get());
        script.Start();
        const INT_PTR result = dialog->DoModal();
        app.SetMainDialog(nullptr);
        EXPECT_EQ("", script.failure());
        EXPECT_TRUE(script.done());
        return result;
    }

    /// What the stand-in for the file-open dialog answers; nothing means Cancel.
    virtual BOOL OpenFile(OPENFILENAMEA*) { return FALSE; }

    HWND Main() const { return dialog->hwnd(); }
    HWND Item(int id) const { return GetDlgItem(Main(), id); }

    /// The message box of this program that is showing now, if any.
    std::optional<MessageBoxView> Box() const {
        return FindMessageBox(GetCurrentProcessId(), app.appName());
    }
    UiScript& WaitForBox() {
        return script.WaitFor("a message box", [this] { return Box().has_value(); });
    }
    /// Dismisses the box showing now with its OK button, as a click on it would.
    UiScript& DismissBox() {
        return script.Do([this] { PostMessageA(Box()->box, WM_COMMAND, IDOK, 0); })
            .WaitFor("the box to go", [this] { return !Box().has_value(); });
    }
    UiScript& Close(int command = IDCANCEL) {
        return script.Do([this, command] { PostMessageA(Main(), WM_COMMAND, command, 0); });
    }

    WinApp app;
    FakePlatform files;
    UiScript script;
    std::unique_ptr<UpdaterDialog> dialog;
    std::vector<HelpRequest> helpRequests;
    BOOL helpViewerWorks = TRUE;
};

}  // namespace orlup::test

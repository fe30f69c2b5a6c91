// A modal dialog built from a resource template, standing in for the framework's dialog class.
#pragma once

#include <windows.h>

#include <string>

#include "app/win32/WinApp.h"

namespace orlup {

class Dialog {
public:
    Dialog(WinApp& app, int templateId);
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    /// Runs the dialog modally, owned by the application's main window when there is one:
    /// IDOK, IDCANCEL, or -1 when the dialog cannot be created.
    INT_PTR DoModal();

    /// The dialog's window while it exists, else null.
    HWND hwnd() const { return hwnd_; }
    int templateId() const { return templateId_; }

protected:
    /// Data exchange towards the controls; returns true so that the focus goes to the first
    /// tab stop.
    virtual BOOL OnInitDialog();
    /// Moves data between the members and the controls, either way.
    virtual void DoDataExchange(bool fromControls) { (void)fromControls; }
    /// The derived dialog's own message map, searched first: true when it handled the message,
    /// with *result the dialog procedure's answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

    void UpdateData(bool fromControls) { DoDataExchange(fromControls); }
    /// Takes the data from the controls, then ends the dialog with IDOK.
    void OnOK();
    /// Ends the dialog with IDCANCEL, without data exchange.
    void OnCancel();

    WinApp& app() const { return app_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCommand(WORD id);

    WinApp& app_;
    int templateId_;
    HWND hwnd_ = nullptr;
};

/// Centres a dialog over its owner, or on the work area when it has none, inside the work area.
void CenterDialog(HWND dialog);

/// A window's whole text.
std::string WindowText(HWND window);

}  // namespace orlup

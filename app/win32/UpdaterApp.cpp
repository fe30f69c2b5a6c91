// Orlup.exe's start: the one application object and the program's entry point.
#include "app/win32/UpdaterApp.h"

#include "app/win32/UpdaterDialog.h"
#include "platform/windows/WindowsFileApi.h"
#include "platform/windows/WindowsLibraryApi.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup {

bool UpdaterApp::InitInstance() {
    // Three-dimensional control drawing is the system's own since Windows 95: nothing to enable.
    WindowsLibraryApi libraries;
    SetupApiDeviceSource devices(libraries);
    WindowsFileApi files;
    UpdaterDialog dialog(*this, FlashSystem{devices, files, files});
    SetMainDialog(&dialog);
    dialog.DoModal();
    SetMainDialog(nullptr);
    return false;
}

namespace {
// Built before the entry point runs, as the framework's application object is.
UpdaterApp updaterApp;
}  // namespace

}  // namespace orlup

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return orlup::updaterApp.Run(); }

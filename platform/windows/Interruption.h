// Ctrl-C, Ctrl-Break and the console's closing as a request to stop, which every printer write
// obeys at once.
#pragma once

#include <windows.h>

namespace orlup {

/// Makes Ctrl-C, Ctrl-Break and the closing of the console, instead of ending the program,
/// record themselves as the signal Linux would send there (SIGINT, SIGTERM, SIGHUP), so that
/// both end with the same exit statuses; cut short every printer write in progress on any thread
/// (InterruptWrites), which then fails with ERROR_OPERATION_ABORTED; and set InterruptionEvent.
/// False when the handler could not be installed.
bool InstallInterruptionHandler();

/// The signal number of the first of those events, or 0 while none has come.
int InterruptSignal();

/// An auto-reset event that each of those events sets, for a wait to end on.
HANDLE InterruptionEvent();

/// The handler, which the system calls on a thread of its own. Wine cannot raise console events
/// (GenerateConsoleCtrlEvent fails there), so tests call it as the system would.
BOOL WINAPI OnConsoleEvent(DWORD event);

}  // namespace orlup

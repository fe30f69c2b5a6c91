// Ctrl-C, Ctrl-Break and the console's closing as a request to stop, which every printer write
// obeys at once.
#include "platform/windows/Interruption.h"

#include <atomic>

#include "platform/windows/WriteWatchdog.h"

namespace orlup {

namespace {

// Linux's numbers, which make the exit statuses 129, 130 and 143.
constexpr int HangUp = 1, Interrupt = 2, Terminate = 15;

std::atomic<int> interruptSignal{0};

int SignalOf(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return Interrupt;
        case CTRL_BREAK_EVENT:
            return Terminate;
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            return HangUp;
        default:
            return 0;
    }
}

}  // namespace

bool InstallInterruptionHandler() {
    // Whatever the parent left: a process group started with Ctrl-C ignored would never see it,
    // yet a stop must always be possible.
    SetConsoleCtrlHandler(nullptr, FALSE);
    // Made now, before any event can ask for it from the handler's thread.
    return InterruptionEvent() != nullptr && SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

int InterruptSignal() { return interruptSignal.load(); }

HANDLE InterruptionEvent() {
    static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const int signalNumber = SignalOf(event);
    // A log-off reaches services alone, and for whichever user logs off: no reason to stop.
    if (signalNumber == 0) return event == CTRL_LOGOFF_EVENT;
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signalNumber);
    // Set before the writes are cut, so that no transfer takes the cut for a failure of its own.
    InterruptWrites();
    SetEvent(InterruptionEvent());
    // Once this returns from a close or a shutdown, the system ends the process at once: it is
    // held here until the program has closed its ports and kept its records and returns from
    // main, or until the system's own time limit.
    if (signalNumber == HangUp) Sleep(INFINITE);
    return TRUE;
}

}  // namespace orlup

// Ctrl-C and termination requests as a request to stop, which every printer write obeys at once.
#include "platform/linux/Interruption.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <initializer_list>

#include "platform/linux/WriteWatchdog.h"

namespace orlup {

namespace {

std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "read and written in a signal handler");

void OnInterruption(int signalNumber) {
    const int savedErrno = errno;
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signalNumber);
    // Set before the writes are woken, so that none of them can miss it.
    InterruptWrites();
    errno = savedErrno;
}

}  // namespace

bool InstallInterruptionHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterruption;  // and an empty mask, as value-initialised
    sigset_t wanted;
    sigemptyset(&wanted);
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        // Whatever the parent left: a shell starts a background job with SIGINT ignored, and
        // an inherited mask would swallow the signal, yet a stop must always be possible.
        if (sigaction(signalNumber, &action, nullptr) != 0) return false;
        sigaddset(&wanted, signalNumber);
    }
    return pthread_sigmask(SIG_UNBLOCK, &wanted, nullptr) == 0;
}

int InterruptSignal() { return interruptSignal.load(); }

}  // namespace orlup

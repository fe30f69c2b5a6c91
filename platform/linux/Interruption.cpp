// Ctrl-C, termination requests and hang-ups as a request to stop, which every printer write
// obeys at once; stop signals held until the program can take them.
#include "platform/linux/Interruption.h"

#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <initializer_list>

#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/WriteWatchdog.h"

namespace orlup {

namespace {

std::atomic<int> interruptSignal{0};
std::atomic<int> interruptionFd{-1};
std::atomic<int> stopRequestFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read and written in a signal handler");

void OnInterruption(int signalNumber) {
    const int savedErrno = errno;
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signalNumber);
    // Set before the writes are woken, so that none of them can miss it.
    InterruptWrites();
    const uint64_t one = 1;
    // Before the descriptor is made, the write to -1 fails and changes nothing.
    [[maybe_unused]] const ssize_t ignored = write(interruptionFd.load(), &one, sizeof one);
    errno = savedErrno;
}

sigset_t StopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signalNumber : {SIGTSTP, SIGTTIN, SIGTTOU}) sigaddset(&stops, signalNumber);
    return stops;
}

// Kept for the life of the program, for every later call and every signal handler; the first
// one made wins.
bool KeepOnce(std::atomic<int>* slot, UniqueFd made) {
    if (!made.IsValid()) return false;
    int none = -1;
    if (slot->compare_exchange_strong(none, made.Get())) made.Release();
    return true;
}

}  // namespace

bool InstallInterruptionHandlers() {
    if (interruptionFd.load() == -1 &&
        !KeepOnce(&interruptionFd,
                  AboveStandardDescriptors(UniqueFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))))) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnInterruption;  // and an empty mask, as value-initialised
    sigset_t wanted;
    sigemptyset(&wanted);
    // sigaction fails only for a signal it does not know or may not catch: none of these.
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        sigaction(signalNumber, nullptr, &previous);
        if (signalNumber == SIGHUP && previous.sa_handler == SIG_IGN) continue;
        // Whatever else the parent left: a shell starts a background job with SIGINT ignored,
        // and an inherited mask would swallow the signal, yet a stop must always be possible.
        sigaction(signalNumber, &action, nullptr);
        sigaddset(&wanted, signalNumber);
    }
    return pthread_sigmask(SIG_UNBLOCK, &wanted, nullptr) == 0;
}

int InterruptSignal() { return interruptSignal.load(); }

int InterruptionFd() { return interruptionFd.load(); }

bool HoldStopSignals() {
    const sigset_t stops = StopSignals();
    if (pthread_sigmask(SIG_BLOCK, &stops, nullptr) != 0) return false;
    return stopRequestFd.load() != -1 ||
           KeepOnce(&stopRequestFd, AboveStandardDescriptors(UniqueFd(
                                        signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK))));
}

int StopRequestFd() { return stopRequestFd.load(); }

bool TakeStopRequest() {
    signalfd_siginfo taken{};  // none to take before HoldStopSignals: the read of -1 fails
    return read(stopRequestFd.load(), &taken, sizeof taken) == static_cast<ssize_t>(sizeof taken);
}

void StopProcess() {
    // SIGSTOP stops every thread before kill returns, and nothing holds it back.
    kill(getpid(), SIGSTOP);
}

}  // namespace orlup

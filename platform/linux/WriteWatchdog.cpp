// Ends a blocking write that makes no progress, since usblp's own wait never gives up, and
// keeps every other signal from cutting a write short.
#include "platform/linux/WriteWatchdog.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <initializer_list>

namespace orlup {

namespace {

constexpr std::chrono::milliseconds RepeatInterval{20};

// Enough for every printer that one program feeds at once; a watchdog without a slot still
// times out, it only misses InterruptWrites.
constexpr int TimerSlots = 64;

// Each live watchdog's timer, as its value plus one so that zero marks a free slot.
std::atomic<std::intptr_t> liveTimers[TimerSlots] = {};
static_assert(std::atomic<std::intptr_t>::is_always_lock_free, "read in a signal handler");

// Set on the thread the timer was made for, which is the only one its signal goes to.
thread_local volatile sig_atomic_t ownTimerFired = 0;

int WatchdogSignal() { return SIGRTMIN + 4; }

void OnWatchdogSignal(int, siginfo_t* info, void*) {
    // The same signal number sent by anyone else is not the timer.
    if (info->si_code == SI_TIMER) ownTimerFired = 1;
}

// The handler has no SA_RESTART: the interrupted write must come back with EINTR.
bool InstallHandler() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = OnWatchdogSignal;
        action.sa_flags = SA_SIGINFO;  // and an empty mask, as value-initialised
        return sigaction(WatchdogSignal(), &action, nullptr) == 0;
    }();
    return installed;
}

// Everything that neither ends nor stops the program, nor reports a fault; the watchdog's own
// signal is let through separately.
sigset_t HeldSignals() {
    sigset_t held;
    sigfillset(&held);
    for (int passed : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP,
                       SIGSYS, SIGABRT}) {
        sigdelset(&held, passed);
    }
    return held;
}

itimerspec Expiry(std::chrono::nanoseconds timeout) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    itimerspec spec{};
    spec.it_value.tv_sec = seconds.count();
    spec.it_value.tv_nsec = std::chrono::nanoseconds(timeout - seconds).count();
    spec.it_interval.tv_nsec = std::chrono::nanoseconds(RepeatInterval).count();
    return spec;
}

std::atomic<std::intptr_t>* TakeSlot(timer_t timer) {
    const std::intptr_t value = reinterpret_cast<std::intptr_t>(timer) + 1;
    for (std::atomic<std::intptr_t>& slot : liveTimers) {
        std::intptr_t free = 0;
        if (slot.compare_exchange_strong(free, value)) return &slot;
    }
    return nullptr;
}

}  // namespace

WriteWatchdog::WriteWatchdog(std::chrono::milliseconds timeout) : timeout_(timeout) {
    // Added to what the caller holds back, which stays held.
    const sigset_t held = HeldSignals();
    pthread_sigmask(SIG_BLOCK, &held, &savedMask_);
    sigset_t own;
    sigemptyset(&own);
    sigaddset(&own, WatchdogSignal());
    pthread_sigmask(SIG_UNBLOCK, &own, nullptr);
    ownTimerFired = 0;
    if (!InstallHandler()) return;

    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = WatchdogSignal();
    event._sigev_un._tid = gettid();
    created_ = timer_create(CLOCK_MONOTONIC, &event, &timer_) == 0;
    if (!created_) return;
    slot_ = TakeSlot(timer_);
    const itimerspec expiry = Expiry(timeout_);
    armed_ = timer_settime(timer_, 0, &expiry, nullptr) == 0;
}

WriteWatchdog::~WriteWatchdog() {
    const int savedErrno = errno;
    // Out of the list before the timer goes: InterruptWrites at worst sets a timer that is
    // gone, which fails harmlessly, since the kernel does not hand the id out again soon.
    if (slot_ != nullptr) slot_->store(0);
    if (created_) timer_delete(timer_);
    pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
    errno = savedErrno;
}

void WriteWatchdog::Restart() {
    const itimerspec expiry = Expiry(timeout_);
    timer_settime(timer_, 0, &expiry, nullptr);
    // After the new deadline is set: a signal of the old one has arrived by now, if at all.
    ownTimerFired = 0;
}

bool WriteWatchdog::HasFired() const { return ownTimerFired != 0; }

void InterruptWrites() {
    const itimerspec now = Expiry(std::chrono::nanoseconds(1));
    for (std::atomic<std::intptr_t>& slot : liveTimers) {
        const std::intptr_t value = slot.load();
        if (value != 0) timer_settime(reinterpret_cast<timer_t>(value - 1), 0, &now, nullptr);
    }
}

}  // namespace orlup

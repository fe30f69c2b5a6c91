// A per-thread timer signal that interrupts a blocking write once it has waited too long.
#include "platform/linux/WriteWatchdog.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace orlup {

namespace {

constexpr std::chrono::milliseconds RepeatInterval{20};

int WatchdogSignal() { return SIGRTMIN + 4; }

void OnWatchdogSignal(int) {}

// The handler has no SA_RESTART: the interrupted write must come back with EINTR.
bool InstallHandler() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_handler = OnWatchdogSignal;
        sigemptyset(&action.sa_mask);
        return sigaction(WatchdogSignal(), &action, nullptr) == 0;
    }();
    return installed;
}

itimerspec Expiry(std::chrono::milliseconds timeout) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    itimerspec spec{};
    spec.it_value.tv_sec = seconds.count();
    spec.it_value.tv_nsec = std::chrono::nanoseconds(timeout - seconds).count();
    if (spec.it_value.tv_sec == 0 && spec.it_value.tv_nsec == 0) spec.it_value.tv_nsec = 1;
    spec.it_interval.tv_nsec = std::chrono::nanoseconds(RepeatInterval).count();
    return spec;
}

}  // namespace

WriteWatchdog::WriteWatchdog(std::chrono::milliseconds timeout) : timeout_(timeout) {
    // Any other caught signal would end the write with EINTR too, while usblp still delivers
    // the piece it had started: a retry would then send it twice. So only ours gets through.
    sigset_t onlyOurs;
    sigfillset(&onlyOurs);
    for (int kept : {WatchdogSignal(), SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigdelset(&onlyOurs, kept);
    pthread_sigmask(SIG_SETMASK, &onlyOurs, &savedMask_);
    if (!InstallHandler()) return;

    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = WatchdogSignal();
    event._sigev_un._tid = gettid();
    created_ = timer_create(CLOCK_MONOTONIC, &event, &timer_) == 0;
    if (!created_) return;
    const itimerspec expiry = Expiry(timeout_);
    armed_ = timer_settime(timer_, 0, &expiry, nullptr) == 0;
}

WriteWatchdog::~WriteWatchdog() {
    const int savedErrno = errno;
    if (created_) timer_delete(timer_);
    pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
    errno = savedErrno;
}

void WriteWatchdog::Restart() {
    const itimerspec expiry = Expiry(timeout_);
    timer_settime(timer_, 0, &expiry, nullptr);
}

}  // namespace orlup

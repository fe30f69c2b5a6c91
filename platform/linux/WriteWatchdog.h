// Ends a blocking write that makes no progress, since usblp's own wait never gives up, and
// keeps every other signal from cutting a write short.
#pragma once

#include <signal.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace orlup {

/// While it lives, a blocking write on the calling thread is cut short (EINTR) only by the
/// watchdog's own timer, by InterruptWrites, by a signal that ends or stops the program
/// (SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGKILL, SIGSTOP, faults) or by a freeze or debugger.
/// Every other signal, SIGTSTP and SIGCONT included, waits until the watchdog is gone: usblp
/// reports a piece cut short as unwritten although it may still arrive (see
/// UsblpDeviceFiles.cpp). The timer fires once the timeout has passed without a Restart and
/// then again every few milliseconds, in case the first came just before the call went to
/// sleep.
class WriteWatchdog {
public:
    /// timeout must be above zero.
    explicit WriteWatchdog(std::chrono::milliseconds timeout);
    ~WriteWatchdog();
    WriteWatchdog(const WriteWatchdog&) = delete;
    WriteWatchdog& operator=(const WriteWatchdog&) = delete;

    /// False when the timer could not be made; errno tells why.
    bool IsArmed() const { return armed_; }
    /// Progress: the timeout counts again from now.
    void Restart();
    /// True once the watchdog's own timer has fired since it was made or restarted, for its
    /// timeout or for InterruptWrites; never for any other signal.
    bool HasFired() const;

private:
    std::chrono::milliseconds timeout_;
    timer_t timer_{};
    std::atomic<std::intptr_t>* slot_ = nullptr;  // in the list InterruptWrites reaches
    bool created_ = false;
    bool armed_ = false;
    sigset_t savedMask_{};
};

/// Fires every live watchdog's timer at once, so that each write in progress, on any thread,
/// ends. Safe to call from a signal handler.
void InterruptWrites();

}  // namespace orlup

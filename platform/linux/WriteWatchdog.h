// Ends a blocking write that makes no progress, since usblp's own wait never gives up.
#pragma once

#include <signal.h>
#include <time.h>

#include <chrono>

namespace orlup {

/// While it lives, the calling thread takes no signal but the watchdog's own (and the ones a
/// fault raises), and that one arrives once the timeout has passed without a Restart, then
/// again every few milliseconds in case the first came just before the call went to sleep.
/// A blocking write then returns EINTR, which only this watchdog can have caused.
class WriteWatchdog {
public:
    explicit WriteWatchdog(std::chrono::milliseconds timeout);
    ~WriteWatchdog();
    WriteWatchdog(const WriteWatchdog&) = delete;
    WriteWatchdog& operator=(const WriteWatchdog&) = delete;

    /// False when the timer could not be made; errno tells why.
    bool IsArmed() const { return armed_; }
    /// Progress: the timeout counts again from now.
    void Restart();

private:
    std::chrono::milliseconds timeout_;
    timer_t timer_{};
    bool created_ = false;
    bool armed_ = false;
    sigset_t savedMask_{};
};

}  // namespace orlup

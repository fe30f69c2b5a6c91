// The system timer at 1 ms for as long as a transfer's timer runs.
#pragma once

// The multimedia timer header builds on windows.h.
// clang-format off
#include <windows.h>
#include <timeapi.h>
// clang-format on

#include <memory>
#include <mutex>

namespace orlup {

/// SetTimer and Sleep round up to the system timer's granularity, 15.6 ms by default, which
/// would send 1024 bytes every 15.6 ms instead of every 10. While this lives the granularity
/// is 1 ms (for the process on Windows 10 2004 and later, for the system before).
class TimerResolution {
public:
    TimerResolution() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~TimerResolution() {
        if (raised_) timeEndPeriod(1);
    }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

private:
    bool raised_;
};

/// The one TimerResolution of the process, made when the first holder takes it and ended when
/// the last lets go: transfers side by side need it from the first one's start to the last
/// one's end, and a program that waits between them should not keep the system's timer fast.
inline std::shared_ptr<TimerResolution> ShareTimerResolution() {
    static std::mutex lock;
    static std::weak_ptr<TimerResolution> current;
    const std::lock_guard<std::mutex> guard(lock);
    std::shared_ptr<TimerResolution> shared = current.lock();
    if (shared == nullptr) current = shared = std::make_shared<TimerResolution>();
    return shared;
}

}  // namespace orlup

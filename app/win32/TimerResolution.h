// The system timer at 1 ms for as long as a transfer's window timer runs.
#pragma once

// The multimedia timer header builds on windows.h.
// clang-format off
#include <windows.h>
#include <timeapi.h>
// clang-format on

namespace orlup {

/// SetTimer rounds its period up to the system timer's granularity, 15.6 ms by default, which
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

}  // namespace orlup

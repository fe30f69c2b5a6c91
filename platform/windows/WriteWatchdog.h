// Ends a synchronous write that makes no progress: WriteFile to a printer that stops taking data
// never returns by itself, and it runs on the thread of the dialog.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/windows/UniqueHandle.h"

namespace orlup {

/// While it lives, a synchronous write of the thread that made it is cancelled once the limit
/// has passed, or at once after InterruptWrites, and again every few milliseconds in case the
/// first came just before the write began. The cancelled write fails with
/// ERROR_OPERATION_ABORTED.
class WriteWatchdog {
public:
    explicit WriteWatchdog(std::chrono::milliseconds limit);
    /// Waits for a cancellation under way: none reaches the thread once this returns.
    ~WriteWatchdog();
    WriteWatchdog(const WriteWatchdog&) = delete;
    WriteWatchdog& operator=(const WriteWatchdog&) = delete;

    /// False when the watchdog could not be set up; error() tells why.
    bool IsArmed() const { return timer_ != nullptr; }
    uint32_t error() const { return error_; }
    /// The timer has fired: a write that failed as cancelled was cancelled by the watchdog.
    bool HasFired() const { return fired_; }
    /// It fired for InterruptWrites rather than for the limit.
    bool WasInterrupted() const { return interrupted_; }

private:
    friend void InterruptWrites();
    static void CALLBACK OnExpiry(void* context, BOOLEAN);
    void Interrupt();

    UniqueHandle writer_;
    HANDLE timer_ = nullptr;
    std::atomic<bool> fired_{false};
    std::atomic<bool> interrupted_{false};
    uint32_t error_ = 0;
};

/// Fires every live watchdog at once, so that each write in progress, on any thread, ends, and
/// every watchdog made afterwards fires as soon as it is made. Safe from any thread.
void InterruptWrites();
/// InterruptWrites was called: the program is ending, and no printer write may begin.
bool WritesInterrupted();

}  // namespace orlup

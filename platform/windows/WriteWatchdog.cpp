// A timer-queue timer that cancels the writing thread's synchronous I/O once it has waited too
// long, or once the program is asked to end.
#include "platform/windows/WriteWatchdog.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace orlup {

namespace {

constexpr DWORD RepeatMs = 20;

// Every live watchdog, so that InterruptWrites reaches the writes of every thread. A watchdog
// leaves it before its timer is deleted, so that none is fired once it is gone.
std::mutex registryLock;
std::vector<WriteWatchdog*> liveWatchdogs;
std::atomic<bool> writesInterrupted{false};

}  // namespace

WriteWatchdog::WriteWatchdog(std::chrono::milliseconds limit) {
    // CancelSynchronousIo needs a real handle of the writing thread, not the pseudo-handle.
    HANDLE writer = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &writer,
                         THREAD_TERMINATE, FALSE, 0)) {
        error_ = GetLastError();
        return;
    }
    writer_.Reset(writer);
    // Under the lock, so that an InterruptWrites either finds this watchdog or came before it.
    const std::lock_guard<std::mutex> lock(registryLock);
    interrupted_ = writesInterrupted.load();
    const DWORD due = interrupted_ ? 0 : static_cast<DWORD>(limit.count());
    if (!CreateTimerQueueTimer(&timer_, nullptr, &WriteWatchdog::OnExpiry, this, due, RepeatMs,
                               WT_EXECUTEDEFAULT)) {
        error_ = GetLastError();
        timer_ = nullptr;
        return;
    }
    liveWatchdogs.push_back(this);
}

WriteWatchdog::~WriteWatchdog() {
    if (timer_ == nullptr) return;
    const DWORD savedError = GetLastError();
    {
        const std::lock_guard<std::mutex> lock(registryLock);
        liveWatchdogs.erase(std::find(liveWatchdogs.begin(), liveWatchdogs.end(), this));
    }
    DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    SetLastError(savedError);
}

void CALLBACK WriteWatchdog::OnExpiry(void* context, BOOLEAN) {
    auto* watchdog = static_cast<WriteWatchdog*>(context);
    watchdog->fired_ = true;
    CancelSynchronousIo(watchdog->writer_.Get());
}

void WriteWatchdog::Interrupt() {
    interrupted_ = true;
    ChangeTimerQueueTimer(nullptr, timer_, 0, RepeatMs);
}

void InterruptWrites() {
    const std::lock_guard<std::mutex> lock(registryLock);
    writesInterrupted = true;
    for (WriteWatchdog* watchdog : liveWatchdogs) watchdog->Interrupt();
}

bool WritesInterrupted() { return writesInterrupted; }

}  // namespace orlup

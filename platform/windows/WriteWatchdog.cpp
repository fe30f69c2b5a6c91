// A timer-queue timer that cancels the writing thread's synchronous I/O once it has waited too
// long.
#include "platform/windows/WriteWatchdog.h"

namespace orlup {

namespace {
constexpr DWORD RepeatMs = 20;
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
    if (!CreateTimerQueueTimer(&timer_, nullptr, &WriteWatchdog::OnExpiry, this,
                               static_cast<DWORD>(limit.count()), RepeatMs, WT_EXECUTEDEFAULT)) {
        error_ = GetLastError();
        timer_ = nullptr;
    }
}

WriteWatchdog::~WriteWatchdog() {
    if (timer_ == nullptr) return;
    const DWORD savedError = GetLastError();
    DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    SetLastError(savedError);
}

void CALLBACK WriteWatchdog::OnExpiry(void* context, BOOLEAN) {
    auto* watchdog = static_cast<WriteWatchdog*>(context);
    watchdog->fired_ = true;
    CancelSynchronousIo(watchdog->writer_.Get());
}

}  // namespace orlup

// A recording host for the flash update.
#include "fakes/FakeFlashHost.h"

namespace orlup::test {

int FakeFlashHost::RunTimer() {
    int ticks = 0;
    // Bounded, so that an update that never stops fails its test instead of hanging it.
    for (; timerRunning && ticks < 100000; ++ticks) update->OnTimer(FlashUpdate::TimerId);
    return ticks;
}

void FakeFlashHost::ShowMessage(const std::string& text) {
    messages.push_back(text);
    log_.push_back("message " + text);
    // A real box runs its own loop, and the window timer keeps ticking inside it.
    for (int i = 0; i < ticksInsideMessages && timerRunning; ++i) {
        update->OnTimer(FlashUpdate::TimerId);
    }
}

uint32_t FakeFlashHost::SetTimer(uint32_t id, uint32_t) {
    if (setTimerCalls_++ == failSetTimerCall) return 0;
    timerRunning = true;
    log_.push_back("set timer");
    return id;
}

}  // namespace orlup::test

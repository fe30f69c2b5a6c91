// A recording host for the flash update.
#include "fakes/FakeFlashHost.h"

namespace orlup::test {

int FakeFlashHost::RunTimer(int maxTicks) {
    int ticks = 0;
    while (timerRunning && ticks < maxTicks) {
        ++ticks;
        update->OnTimer(FlashUpdate::TimerId);
    }
    return ticks;
}

void FakeFlashHost::ShowMessage(const std::string& text) {
    messages.push_back(text);
    Log("message " + text);
    // A real box runs its own loop, and the window timer keeps ticking inside it.
    for (int i = 0; i < ticksInsideMessages && timerRunning; ++i) {
        update->OnTimer(FlashUpdate::TimerId);
    }
}

uint32_t FakeFlashHost::SetTimer(uint32_t id, uint32_t) {
    if (setTimerCalls++ == failSetTimerCall) return 0;
    timerRunning = true;
    Log("set timer");
    return id;
}

}  // namespace orlup::test

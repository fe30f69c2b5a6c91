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

std::string FakeFlashHost::TakeImagePath() { return editText; }

void FakeFlashHost::ShowMessage(const std::string& text) {
    messages.push_back(text);
    if (log_ != nullptr) log_->Add("message " + text);
    // A real box runs its own loop, and the window timer keeps ticking inside it.
    for (int i = 0; i < ticksInsideMessages && timerRunning; ++i) {
        update->OnTimer(FlashUpdate::TimerId);
    }
}

void FakeFlashHost::SetProgress(uint32_t position) { progress.push_back(position); }

uint32_t FakeFlashHost::SetTimer(uint32_t id, uint32_t) {
    if (setTimerCalls++ == failSetTimerCall) return 0;
    timerRunning = true;
    if (log_ != nullptr) log_->Add("set timer");
    return id;
}

void FakeFlashHost::KillTimer(uint32_t id) {
    timerRunning = false;
    killed.push_back(id);
    if (log_ != nullptr) log_->Add("kill timer");
}

void FakeFlashHost::EnableButtons(bool enable) {
    buttonStates.push_back(enable);
    if (log_ != nullptr) log_->Add(enable ? "enable buttons" : "disable buttons");
}

void FakeFlashHost::AttemptEnded(const AttemptOutcome& outcome) {
    ended.push_back(outcome);
    if (log_ != nullptr) log_->Add("ended");
}

}  // namespace orlup::test

// A host for the flash update that records what it is asked and can run the timer by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fakes/FakePlatform.h"
#include "update/FlashUpdate.h"

namespace orlup::test {

class FakeFlashHost : public FlashUpdateHost {
public:
    explicit FakeFlashHost(EventLog* log) : log_(*log) {}

    std::string editText;  // what the edit box holds
    std::vector<std::string> messages;
    std::vector<uint32_t> progress;
    bool timerRunning = false;
    int failSetTimerCall = -1;  // the 0-based SetTimer call that returns 0 and leaves all as is
    std::vector<bool> buttonStates;
    std::vector<AttemptOutcome> ended;
    /// Ticks to deliver from inside each message box, as a real nested loop would.
    int ticksInsideMessages = 0;
    FlashUpdate* update = nullptr;

    /// Delivers ticks while the timer runs; returns how many were delivered.
    int RunTimer();

    std::string TakeImagePath() override { return editText; }
    void ShowMessage(const std::string& text) override;
    void SetProgress(uint32_t position) override { progress.push_back(position); }
    uint32_t SetTimer(uint32_t id, uint32_t periodMs) override;
    void KillTimer(uint32_t) override {
        timerRunning = false;
        log_.push_back("kill timer");
    }
    void EnableButtons(bool enable) override {
        buttonStates.push_back(enable);
        log_.push_back(enable ? "enable buttons" : "disable buttons");
    }
    void AttemptEnded(const AttemptOutcome& outcome) override {
        ended.push_back(outcome);
        log_.push_back("ended");
    }

private:
    EventLog& log_;
    int setTimerCalls_ = 0;
};

}  // namespace orlup::test

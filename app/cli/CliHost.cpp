// The command-line host of one flash update: a steady-clock timer loop on the calling thread.
#include "CliHost.h"

#include <thread>
#include <utility>

namespace orlup {

CliHost::CliHost(std::string imagePath, Options options, Hooks hooks)
    : imagePath_(std::move(imagePath)), options_(std::move(options)), hooks_(std::move(hooks)) {}

CliHost::Result CliHost::Flash(const FlashSystem& system) {
    FlashUpdate update(*this, system);
    update_ = &update;
    update.OnUpdateFlash();
    RunTimer(update);
    return Result{update.outcome(), update.busy(), update.printersFound(),
                  update.skippedPrinters()};
}

void CliHost::RunTimer(FlashUpdate& update) {
    using Clock = std::chrono::steady_clock;
    // Ticks stay on a fixed grid, so a slow write does not push every later tick back; like a
    // window timer, a tick that is missed altogether is not made up with a burst.
    Clock::time_point next = Clock::now() + period_;
    while (timerRunning_) {
        std::this_thread::sleep_until(next);
        // Windows' sleeps count whole milliseconds and drop the fraction, so the first may end
        // early; a tick must never come before its time.
        while (Clock::now() < next) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (options_.gate != nullptr && options_.gate->Pass()) next = Clock::now();
        if (options_.interrupted && options_.interrupted()) return;
        update.OnTimer(timerId_);
        if (period_.count() > 0) {
            while (next <= Clock::now()) next += period_;
        }
    }
}

void CliHost::ShowMessage(const std::string& text) {
    if (hooks_.message) hooks_.message(text);
}

void CliHost::ShowCompletion(const std::string& text) {
    if (hooks_.completion) hooks_.completion(text);
}

// Worked out from the bytes, not from the dialog's position, which passes 100 on small images.
void CliHost::SetProgress(uint32_t) {
    if (hooks_.progress) hooks_.progress(update_->bytesSent(), update_->imageSize());
}

uint32_t CliHost::SetTimer(uint32_t id, uint32_t periodMs) {
    // The first start comes just before the command, once the printer is claimed and open.
    if (!std::exchange(started_, true) && hooks_.started) {
        const AttemptOutcome now = update_->outcome();
        if (now.printer) hooks_.started(*now.printer);
    }
    timerId_ = id;
    timerRunning_ = true;
    period_ = options_.period.value_or(std::chrono::milliseconds(periodMs));
    return id;
}

void CliHost::KillTimer(uint32_t) { timerRunning_ = false; }

}  // namespace orlup

// The command-line host of the flash update.
#include "CliHost.h"

#include <algorithm>
#include <ostream>
#include <thread>


namespace orlup {

namespace {
constexpr int BarWidth = 40;
}

CliHost::CliHost(std::string imagePath, std::ostream& out, std::ostream& err, Options options)
    : imagePath_(std::move(imagePath)), out_(out), err_(err), options_(options) {}

int CliHost::Flash(const FlashSystem& system) {
    FlashUpdate update(*this, system);
    update.OnUpdateFlash();
    RunTimer(update);
    return update.completed() ? 0 : 1;
}

void CliHost::RunTimer(FlashUpdate& update) {
    using Clock = std::chrono::steady_clock;
    // Ticks stay on a fixed grid, so a slow write does not push every later tick back; like a
    // window timer, a tick that is missed altogether is not made up with a burst.
    Clock::time_point next = Clock::now() + period_;
    while (timerRunning_) {
        std::this_thread::sleep_until(next);
        const Clock::time_point now = Clock::now();
        worstLateness_ =
            std::max(worstLateness_, std::chrono::duration_cast<std::chrono::microseconds>(now - next));
        ++ticks_;
        update.OnTimer(timerId_);
        next += period_;
        if (period_.count() > 0) {
            while (next <= Clock::now()) next += period_;
        }
    }
}

void CliHost::EndBar() {
    if (barOpen_) {
        out_ << '\n';
        barOpen_ = false;
    }
}

void CliHost::ShowMessage(const std::string& text) {
    EndBar();
    err_ << text << std::endl;
}

void CliHost::ShowCompletion(const std::string& text) {
    EndBar();
    out_ << text << std::endl;
}

void CliHost::SetProgress(uint32_t position) {
    // The dialog's bar shows anything past 100 as full; so does this one.
    const uint32_t percent = std::min<uint32_t>(position, 100);
    if (static_cast<int>(percent) == shownPercent_) return;
    shownPercent_ = static_cast<int>(percent);
    if (options_.terminal) {
        DrawBar(percent);
    } else {
        out_ << percent << "%\n" << std::flush;
    }
}

void CliHost::DrawBar(uint32_t percent) {
    const int filled = static_cast<int>(percent) * BarWidth / 100;
    out_ << "\r[" << std::string(filled, '#') << std::string(BarWidth - filled, '.') << "] "
         << percent << "%" << std::flush;
    barOpen_ = true;
}

uint32_t CliHost::SetTimer(uint32_t id, uint32_t periodMs) {
    timerId_ = id;
    timerRunning_ = true;
    period_ = options_.period.value_or(std::chrono::milliseconds(periodMs));
    return id;
}

void CliHost::KillTimer(uint32_t) { timerRunning_ = false; }

}  // namespace orlup

// The command-line host of the flash update.
#include "CliHost.h"

#include <ostream>
#include <thread>
#include <utility>

namespace orlup {

namespace {
constexpr int BarWidth = 40;
}

CliHost::CliHost(std::string imagePath, std::ostream& out, std::ostream& err, Options options)
    : imagePath_(std::move(imagePath)), out_(out), err_(err), options_(std::move(options)) {}

CliHost::Outcome CliHost::Flash(const FlashSystem& system) {
    FlashUpdate update(*this, system);
    update_ = &update;
    update.OnUpdateFlash();
    RunTimer(update);
    return Outcome{update.completed(), update.bytesSent(),     update.imageSize(),
                   lastText_,          update.printersFound(), update.skippedPrinters()};
}

void CliHost::RunTimer(FlashUpdate& update) {
    using Clock = std::chrono::steady_clock;
    // Ticks stay on a fixed grid, so a slow write does not push every later tick back; like a
    // window timer, a tick that is missed altogether is not made up with a burst.
    Clock::time_point next = Clock::now() + period_;
    while (timerRunning_) {
        std::this_thread::sleep_until(next);
        if (options_.interrupted && options_.interrupted()) return;
        update.OnTimer(timerId_);
        if (period_.count() > 0) {
            while (next <= Clock::now()) next += period_;
        }
    }
}

void CliHost::Emit(std::ostream& stream, const std::string& text) {
    std::unique_lock<std::mutex> lock;
    if (options_.outputLock != nullptr) lock = std::unique_lock<std::mutex>(*options_.outputLock);
    if (std::exchange(barOpen_, false)) out_ << '\n';
    if (!options_.label.empty()) stream << options_.label << ": ";
    stream << text << std::flush;
}

void CliHost::ShowMessage(const std::string& text) {
    lastText_ = text;
    Emit(err_, text + "\n");
}

void CliHost::ShowCompletion(const std::string& text) {
    lastText_ = text;
    if (options_.label.empty()) Emit(out_, text + "\n");
}

// Worked out from the bytes, not from the dialog's position, which passes 100 on small images.
void CliHost::SetProgress(uint32_t) {
    const uint64_t sent = update_->bytesSent();
    const uint64_t size = update_->imageSize();
    const int percent = static_cast<int>(size == 0 ? 100 : sent * 100 / size);
    const bool bar = options_.terminal && options_.label.empty();
    const int shown = bar ? percent : percent / 10;
    if (shown == shown_) return;
    shown_ = shown;
    const std::string counts = std::to_string(percent) + "% " + std::to_string(sent) + "/" +
                               std::to_string(size) + " bytes";
    if (!bar) {
        Emit(out_, counts + "\n");
        return;
    }
    // Only a lone transfer draws a bar, so no other thread writes meanwhile.
    const int filled = percent * BarWidth / 100;
    out_ << "\r[" << std::string(filled, '#') << std::string(BarWidth - filled, '.') << "] "
         << counts << std::flush;
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

// The command-line host of the flash update: a steady-clock timer loop and text output.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "update/FlashUpdate.h"

namespace orlup {

class CliHost : public FlashUpdateHost {
public:
    struct Options {
        bool terminal = false;  // draw a bar instead of percentage lines
        /// Unset: the period the flash update asks for. Benchmarks and tests set their own.
        std::optional<std::chrono::microseconds> period;
    };

    CliHost(std::string imagePath, std::ostream& out, std::ostream& err, Options options);

    /// Runs one attempt to its end; 0 when the completion text was shown, else 1.
    int Flash(const FlashSystem& system);

    std::string TakeImagePath() override { return imagePath_; }
    void ShowMessage(const std::string& text) override;
    void ShowCompletion(const std::string& text) override;
    void SetProgress(uint32_t position) override;
    uint32_t SetTimer(uint32_t id, uint32_t periodMs) override;
    void KillTimer(uint32_t id) override;
    void EnableButtons(bool) override {}

    /// Ticks delivered, and the most by which a tick came late.
    uint64_t ticks() const { return ticks_; }
    std::chrono::microseconds worstLateness() const { return worstLateness_; }

private:
    void RunTimer(FlashUpdate& update);
    void DrawBar(uint32_t percent);
    void EndBar();

    std::string imagePath_;
    std::ostream& out_;
    std::ostream& err_;
    Options options_;
    bool timerRunning_ = false;
    uint32_t timerId_ = 0;
    std::chrono::microseconds period_{0};
    int shownPercent_ = -1;
    bool barOpen_ = false;
    uint64_t ticks_ = 0;
    std::chrono::microseconds worstLateness_{0};
};

}  // namespace orlup

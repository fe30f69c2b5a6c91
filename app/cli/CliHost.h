// The command-line host of the flash update: a steady-clock timer loop and text output.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "update/FlashUpdate.h"

namespace orlup {

class CliHost : public FlashUpdateHost {
public:
    struct Options {
        bool terminal = false;  // draw a bar instead of a line every 10 %
        /// Unset: the period the flash update asks for. Benchmarks and tests set their own.
        std::optional<std::chrono::microseconds> period;
        /// Set when several transfers share the output: it starts each of their lines, no bar is
        /// drawn and the completion text is left to the caller, who shows it once.
        std::string label;
        std::mutex* outputLock = nullptr;
        /// True once the program was asked to stop: no further tick is delivered.
        std::function<bool()> interrupted;
    };

    /// How one attempt ended.
    struct Outcome {
        bool completed = false;
        uint32_t bytesSent = 0;
        uint32_t imageSize = 0;
        std::string message;  // the last text shown; the completion text after success
        int printersFound = 0;
        std::vector<SkippedPrinter> skipped;
    };

    CliHost(std::string imagePath, std::ostream& out, std::ostream& err, Options options);

    /// Runs one attempt to its end.
    Outcome Flash(const FlashSystem& system);

    std::string TakeImagePath() override { return imagePath_; }
    void ShowMessage(const std::string& text) override;
    void ShowCompletion(const std::string& text) override;
    void SetProgress(uint32_t position) override;
    uint32_t SetTimer(uint32_t id, uint32_t periodMs) override;
    void KillTimer(uint32_t id) override;
    void EnableButtons(bool) override {}

private:
    void RunTimer(FlashUpdate& update);
    void Emit(std::ostream& stream, const std::string& text);

    std::string imagePath_;
    std::ostream& out_;
    std::ostream& err_;
    Options options_;
    const FlashUpdate* update_ = nullptr;  // the attempt that Flash runs
    std::string lastText_;
    bool timerRunning_ = false;
    uint32_t timerId_ = 0;
    std::chrono::microseconds period_{0};
    int shown_ = -1;  // the percentage, or the tenth of it, last shown
    bool barOpen_ = false;
};

}  // namespace orlup

// The command-line host of one flash update: a steady-clock timer loop on the calling thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TransferGate.h"
#include "update/FlashUpdate.h"

namespace orlup {

class CliHost : public FlashUpdateHost {
public:
    /// What the attempt tells as it goes; each may be empty.
    struct Hooks {
        /// The printer was claimed and its update command is about to go out.
        std::function<void(const UsbDeviceRecord& printer)> started;
        /// After the command and after every piece.
        std::function<void(uint32_t sent, uint32_t size)> progress;
        /// The flash update's own texts: its failures, and the completion text.
        std::function<void(const std::string& text)> message;
        std::function<void(const std::string& text)> completion;
    };
    struct Options {
        /// Unset: the period the flash update asks for. Benchmarks and tests set their own.
        std::optional<std::chrono::microseconds> period;
        /// True once the program was asked to stop: no further tick is delivered.
        std::function<bool()> interrupted;
        /// Every tick passes it first, so that the program can stop between pieces.
        TransferGate* gate = nullptr;
    };

    /// How one attempt ended.
    struct Result {
        AttemptOutcome outcome;
        /// The interruption ended the transfer between two pieces; the outcome is as it stood.
        bool cutShort = false;
        int printersFound = 0;
        std::vector<SkippedPrinter> skipped;
    };

    CliHost(std::string imagePath, Options options, Hooks hooks);

    /// Runs one attempt to its end.
    Result Flash(const FlashSystem& system);

    std::string TakeImagePath() override { return imagePath_; }
    void ShowMessage(const std::string& text) override;
    void ShowCompletion(const std::string& text) override;
    void SetProgress(uint32_t position) override;
    uint32_t SetTimer(uint32_t id, uint32_t periodMs) override;
    void KillTimer(uint32_t id) override;
    void EnableButtons(bool) override {}

private:
    void RunTimer(FlashUpdate& update);

    std::string imagePath_;
    Options options_;
    Hooks hooks_;
    const FlashUpdate* update_ = nullptr;  // the attempt that Flash runs
    bool timerRunning_ = false;
    bool started_ = false;
    uint32_t timerId_ = 0;
    std::chrono::microseconds period_{0};
};

}  // namespace orlup

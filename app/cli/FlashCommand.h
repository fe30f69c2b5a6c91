// "orlup-cli flash": one printer as the dialog finds it, one named printer, or all of a model.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "CliPlatform.h"

namespace orlup {

struct FlashRequest {
    std::string image;      // absolute, or empty
    std::string printerId;  // --printer
    bool all = false;       // --all
    std::string sha256;     // --sha256 in lowercase, or empty
    /// --wait: how long to wait for a printer to be plugged in; a negative time waits forever.
    std::optional<std::chrono::seconds> wait;
    bool json = false;  // --json
};

/// Returns the exit status (ExitStatus.h).
int RunFlash(const FlashRequest& request, CliPlatform& platform, const CliContext& context);

}  // namespace orlup

// "orlup-cli flash": one printer as the dialog finds it, one named printer, or all of a model.
#pragma once

#include <string>

#include "CliPlatform.h"

namespace orlup {

struct FlashRequest {
    std::string image;      // absolute, or empty
    std::string printerId;  // --printer
    bool all = false;       // --all
    std::string sha256;     // --sha256 in lowercase, or empty
};

/// Returns the exit status: 0 when every printer flashed took the whole image.
int RunFlash(const FlashRequest& request, CliPlatform& platform, const CliContext& context);

}  // namespace orlup

// "orlup-cli station": flashes every printer of the image's model as it is plugged in.
#pragma once

#include <string>

#include "CliPlatform.h"

namespace orlup {

struct StationRequest {
    std::string image;   // absolute, or empty
    std::string sha256;  // --sha256 in lowercase, or empty
    bool json = false;   // --json
};

/// Runs until the program is asked to stop; returns the exit status (ExitStatus.h).
int RunStation(const StationRequest& request, CliPlatform& platform, const CliContext& context);

}  // namespace orlup

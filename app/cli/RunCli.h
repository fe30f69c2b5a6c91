// The whole of orlup-cli behind main(), so that tests drive the real parser and commands.
#pragma once

#include "CliPlatform.h"

namespace orlup {

/// Parses the command line with getopt_long, runs the command and returns the exit status
/// (ExitStatus.h).
int RunCli(int argc, char** argv, const CliContext& context);

}  // namespace orlup

// The dialog's command line: --help, --version, --simulate[=stall|unplug] and an image path.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>

#include "platform/simulated/SimulatedPrinters.h"

namespace orlup {

struct StartOptions {
    bool simulate = false;
    SimulatedPrinters::Trouble trouble = SimulatedPrinters::Trouble::None;
    QString imagePath;  // shown in the path box when the dialog opens
};

/// Runs before the window system is touched: answers --help and --version, and reports a
/// missing display in one line instead of letting Qt abort. The exit status when the program
/// ends here, nothing when the dialog may start.
std::optional<int> AnswerWithoutDisplay(int& argc, char** argv, const QProcessEnvironment& env,
                                        std::ostream& out, std::ostream& err);

/// The arguments that Qt left after taking its own options; nothing, with the reason on err,
/// when they make no sense.
std::optional<StartOptions> ReadStartOptions(const QStringList& arguments, std::ostream& err);

}  // namespace orlup

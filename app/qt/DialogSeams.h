// What the dialogs reach the system through, handed in so that tests can put fakes in its place.
#pragma once

#include "FileChooser.h"
#include "HelpWindow.h"
#include "update/FlashUpdate.h"

namespace orlup {

struct DialogSeams {
    FlashSystem system;
    FileChooser& fileChooser;
    HelpWindow& help;
    /// The printers are simulated ones; the caption says so.
    bool simulatedPrinters = false;
};

}  // namespace orlup

// What the dialogs reach the system through, handed in so that tests can put fakes in its place.
#pragma once

#include "FileChooser.h"
#include "HelpViewer.h"
#include "update/FlashUpdate.h"

namespace orlup {

struct DialogSeams {
    FlashSystem system;
    FileChooser& fileChooser;
    HelpViewer& help;
};

}  // namespace orlup

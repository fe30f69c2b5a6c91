// What the dialogs reach the system through, handed in so that tests can put fakes in its place.
#pragma once

#include "FileChooser.h"
#include "HelpViewer.h"
#include "platform/FileApi.h"
#include "platform/LibraryApi.h"

namespace orlup {

struct DialogSeams {
    FileApi& files;
    LibraryApi& libraries;
    FileChooser& fileChooser;
    HelpViewer& help;
};

}  // namespace orlup

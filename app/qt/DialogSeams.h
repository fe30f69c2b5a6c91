// What the dialogs reach the system through, handed in so that tests can put fakes in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FileChooser.h"
#include "HelpWindow.h"
#include "update/AttemptRecord.h"
#include "update/FlashUpdate.h"

namespace orlup {

/// Reads the image once before the flash update opens it, off the user-interface thread, so
/// that a large image does not freeze the dialog.
class ImagePreparer {
public:
    struct Prepared {
        uint64_t size = 0;
        std::string sha256;  // empty when the image was not read
    };
    virtual ~ImagePreparer() = default;
    /// On a thread of its own: reads the image at path, asking cancelled between pieces.
    virtual void Take(const std::string& path, const std::function<bool()>& cancelled) = 0;
    /// Back on the dialog's thread, once Take has returned: from now on the system's image seam
    /// serves what Take read, or fails as Take failed.
    virtual Prepared Serve() = 0;
};

struct DialogSeams {
    FlashSystem system;
    FileChooser& fileChooser;
    HelpWindow& help;
    /// The printers are simulated ones; the caption says so.
    bool simulatedPrinters = false;
    /// Where every attempt is kept; none in the tests that do not look.
    std::vector<AttemptRecorder*> recorders;
    /// Null: the flash update opens the image itself.
    ImagePreparer* preparer = nullptr;
};

}  // namespace orlup

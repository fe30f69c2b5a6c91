// The application object of Orlup.exe: runs the main dialog and ends with it.
#pragma once

#include "app/win32/WinApp.h"

namespace orlup {

class UpdaterApp : public WinApp {
public:
    /// Runs the main dialog modally; returns false so that the program ends with it.
    bool InitInstance() override;
};

}  // namespace orlup

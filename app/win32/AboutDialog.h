// The About box: the icon, the version and one more line, closed with OK.
#pragma once

#include "app/win32/Dialog.h"

namespace orlup {

class AboutDialog : public Dialog {
public:
    explicit AboutDialog(WinApp& app);
};

}  // namespace orlup

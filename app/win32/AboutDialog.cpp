// The About box, built from its template with nothing of its own to exchange or route.
#include "app/win32/AboutDialog.h"

#include "res/resource.h"

namespace orlup {

AboutDialog::AboutDialog(WinApp& app) : Dialog(app, IDD_ABOUT) {}

}  // namespace orlup

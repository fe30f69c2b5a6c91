// Linux's words in the programs' texts: its signals, its device permissions, its state folders.
#include "text/SystemTerms.h"

namespace orlup::SystemTerms {

const char* const Interruptions = "SIGHUP/SIGINT/SIGTERM";
const char* const AccessDenied =
    "access denied - add yourself to group lp or install the package's udev rule";
const char* const HistoryVariables = "XDG_STATE_HOME, STATE_DIRECTORY or HOME";

}  // namespace orlup::SystemTerms

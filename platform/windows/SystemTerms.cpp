// Windows' words in the programs' texts: its console events, its device access, its app data.
#include "text/SystemTerms.h"

namespace orlup::SystemTerms {

const char* const Interruptions = "closing the console/Ctrl-C/Ctrl-Break";
// The USB device is opened exclusively: another program holding it is refused this way too.
const char* const AccessDenied =
    "access denied - another program holds it, or its driver lets no program open it";
const char* const HistoryVariables = "LOCALAPPDATA";

}  // namespace orlup::SystemTerms

// The running system's own words in the programs' texts; each platform layer defines them.
#pragma once

namespace orlup::SystemTerms {

/// What ends a run with exit status 129, 130 and 143, in that order, '/' between them.
extern const char* const Interruptions;
/// Why a printer's port was refused with ErrorCode::AccessDenied, and what to do about it.
extern const char* const AccessDenied;
/// Where the flash history's folder comes from, for the text that there is none.
extern const char* const HistoryVariables;

}  // namespace orlup::SystemTerms

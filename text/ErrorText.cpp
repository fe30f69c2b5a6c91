// Error texts from the system's message table.
#include "text/ErrorText.h"

#include "text/ErrorCodes.h"
#include "text/MessageText.h"

namespace orlup {

std::string ErrorText(uint32_t code, uint32_t languageId) {
    // The message table is asked with room for 511 characters, the terminator included, so a
    // description of 511 or more does not fit and is told as unknown.
    char description[511] = {};
    if (SystemErrorDescription(code, languageId, description, sizeof description) == 0) {
        return FormatText("Unknown error (0x%X)", code);
    }
    return FormatText("%s (0x%X)", description, code);
}

}  // namespace orlup

// Error texts from the system's message table.
#include "text/ErrorText.h"

#include "text/ErrorCodes.h"
#include "text/MessageText.h"

namespace orlup {

namespace {
// The message table is asked with room for 511 characters, so a description of 511 or more
// does not fit and is told as unknown.
constexpr uint32_t DescriptionBufferSize = 512;
constexpr uint32_t DescriptionLimit = 511;
}  // namespace

std::string ErrorText(uint32_t code, uint32_t languageId) {
    char description[DescriptionBufferSize] = {};
    if (SystemErrorDescription(code, languageId, description, DescriptionLimit) == 0) {
        return FormatText("Unknown error (0x%X)", code);
    }
    return FormatText("%s (0x%X)", description, code);
}

}  // namespace orlup

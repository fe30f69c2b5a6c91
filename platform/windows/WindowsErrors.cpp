// System error descriptions from the Windows message table.
#include <windows.h>

#include "platform/ErrorCodes.h"

namespace orlup {

uint32_t SystemErrorDescription(uint32_t code, uint32_t languageId, char* buffer,
                                uint32_t bufferSize) {
    // FormatMessageA counts the terminator in the size, so a description of bufferSize
    // characters or more fails rather than being cut.
    return FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, languageId, buffer, bufferSize,
                          nullptr);
}

}  // namespace orlup

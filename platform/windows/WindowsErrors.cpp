// System error descriptions from the Windows message table.
#include "platform/windows/WindowsErrors.h"

#include <windows.h>

#include <atomic>

#include "text/ErrorCodes.h"

namespace orlup {

namespace {
std::atomic<bool> oneLine{false};
}  // namespace

void KeepErrorTextsOnOneLine() { oneLine = true; }

uint32_t SystemErrorDescription(uint32_t code, uint32_t languageId, char* buffer,
                                uint32_t bufferSize) {
    // FormatMessageA counts the terminator in the size, so a description of bufferSize
    // characters or more fails rather than being cut. Some descriptions hold %1-style inserts
    // (ERROR_WRONG_DISK, which ReadFile can give): without arguments they must be left as they
    // stand, or the call reads arguments that were never passed.
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, languageId, buffer, bufferSize, nullptr);
    if (!oneLine) return length;
    for (DWORD i = 0; i < length; ++i) {
        if (buffer[i] == '\r' || buffer[i] == '\n') buffer[i] = ' ';
    }
    while (length > 0 && buffer[length - 1] == ' ') buffer[--length] = '\0';
    return length;
}

}  // namespace orlup

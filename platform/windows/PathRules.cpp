// Where a Windows path ends its directory part: the last backslash, double-byte characters aware.
#include "platform/PathRules.h"

#include <windows.h>

namespace orlup {

std::string FileNameOf(const std::string& path) {
    // CharNextA steps over both bytes of a double-byte character, so a trail byte of 0x5C in
    // such a character is never taken for a separator.
    const char* nameStart = nullptr;
    for (const char* p = path.c_str(); *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') nameStart = p + 1;
    }
    return nameStart == nullptr ? std::string() : std::string(nameStart);
}

}  // namespace orlup

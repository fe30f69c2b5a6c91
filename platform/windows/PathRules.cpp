// Where a Windows path ends its directory part: the last backslash, double-byte characters aware.
#include "update/FileNameRule.h"

#include "platform/windows/LastBackslash.h"

namespace orlup {

std::string FileNameOf(const std::string& path) {
    const char* separator = LastBackslash(path);
    return separator == nullptr ? std::string() : std::string(separator + 1);
}

}  // namespace orlup

// The last directory separator of a Windows path, found as the ANSI code page reads it.
#pragma once

#include <windows.h>

#include <string>

namespace orlup {

/// The last backslash of path, or null. CharNextA steps over both bytes of a double-byte
/// character, so a trail byte of 0x5C in such a character is never taken for a separator.
inline const char* LastBackslash(const std::string& path) {
    const char* last = nullptr;
    for (const char* p = path.c_str(); *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') last = p;
    }
    return last;
}

/// The path cut at its last backslash: the folder, without a trailing backslash ("C:" for a
/// file in a drive's root folder).
inline std::string FolderOf(const std::string& path) {
    const char* cut = LastBackslash(path);
    return cut == nullptr ? path : std::string(path.c_str(), cut);
}

}  // namespace orlup

// UTF-8, which the programs' texts and paths are in, and UTF-16, which Windows' own calls take.
#include "platform/windows/WideText.h"

#include <windows.h>

#include <climits>

namespace orlup {

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty() || text.size() > INT_MAX) return std::wstring();
    const int size = static_cast<int>(text.size());
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
    if (text.empty() || text.size() > INT_MAX) return std::string();
    const int size = static_cast<int>(text.size());
    std::string utf8(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    return utf8;
}

}  // namespace orlup

// UTF-8, which the programs' texts and paths are in, and UTF-16, which Windows' own calls take.
#pragma once

#include <string>

namespace orlup {

/// Malformed UTF-8 becomes U+FFFD, so that a name no file can have opens nothing.
std::wstring WideFromUtf8(const std::string& text);
/// A lone surrogate, which file names may hold, becomes U+FFFD.
std::string Utf8FromWide(const std::wstring& text);

}  // namespace orlup

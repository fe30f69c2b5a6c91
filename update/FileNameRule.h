// How the running system's paths end their directory part; each platform layer defines it.
#pragma once

#include <string>

namespace orlup {

/// The part of path after its last directory separator; empty when it has none.
/// Windows: the backslash alone, found multibyte-aware in the ANSI code page.
/// Linux: the backslash or the slash.
std::string FileNameOf(const std::string& path);

}  // namespace orlup

// printf-style formatting into strings.
#include "text/MessageText.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace orlup {

std::string FormatText(const char* format, ...) {
    // Longer output is cut at the limit anyway, so one pass with room for the limit is enough.
    char text[FormatTextLimit + 1];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // A conversion that fails (a wide character this locale cannot encode) leaves no text.
    return std::string(text, std::min<std::size_t>(std::max(length, 0), sizeof text - 1));
}

std::string JoinText(const std::string& prefix, const std::string& text) { return prefix + text; }

}  // namespace orlup

// printf-style formatting into strings.
#include "text/MessageText.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace orlup {

namespace {

void FormatInto(std::string& target, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0) {
        target.clear();
        return;
    }
    target.assign(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(&target[0], target.size(), format, args);
    target.resize(std::min(static_cast<std::size_t>(needed), FormatTextLimit));
}

}  // namespace

std::string FormatText(const char* format, ...) {
    std::string text;
    va_list args;
    va_start(args, format);
    FormatInto(text, format, args);
    va_end(args);
    return text;
}

void FormatText(std::string& target, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(target, format, args);
    va_end(args);
}

std::string JoinText(const std::string& prefix, const std::string& text) { return prefix + text; }

}  // namespace orlup

// printf-style formatting into strings, and message prefixes joined with texts.
#pragma once

#include <string>

namespace orlup {

/// Formatted output of at most FormatTextLimit characters; longer output is cut there.
constexpr std::size_t FormatTextLimit = 8704;

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// prefix immediately followed by text; the prefixes end in " - " themselves.
std::string JoinText(const std::string& prefix, const std::string& text);

}  // namespace orlup

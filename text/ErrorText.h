// Turns a system error code into the text a technician is shown.
#pragma once

#include <cstdint>
#include <string>

namespace orlup {

/// The user's default language, which every caller passes.
constexpr uint32_t DefaultLanguageId = 0x0400;

/// "<system description> (0x<CODE>)", or "Unknown error (0x<CODE>)" when the system has no
/// description of the code that fits in 510 characters. Never fails.
std::string ErrorText(uint32_t code, uint32_t languageId = DefaultLanguageId);

}  // namespace orlup

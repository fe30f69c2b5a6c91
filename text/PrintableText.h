// Text from devices and files made safe to show on a terminal.
#pragma once

#include <string>

namespace orlup {

/// Control characters, C1 ones in their UTF-8 form included, become '?': a USB string is
/// whatever its device's maker chose, escape sequences included.
std::string Printable(const std::string& text);

/// The text made printable, or "-" for an empty one, as tables show a missing value.
std::string OrDash(const std::string& text);

}  // namespace orlup

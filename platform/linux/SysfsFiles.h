// Defensive reads of sysfs folders and attribute files, which may change or vanish at any moment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orlup {

/// The names in a folder, "." and ".." left out, sorted; none when it cannot be read.
std::vector<std::string> ListFolder(const std::string& path);

/// An attribute's text without trailing blanks or line breaks and cut at a NUL; empty when the
/// file is missing or unreadable, which no attribute read here tells apart from an empty one.
std::string ReadAttribute(const std::string& path);

/// One to four hexadecimal digits and nothing else, as in idVendor and idProduct.
bool ParseHexId(const std::string& text, uint16_t* value);

/// The last part of a path: a sysfs folder's name.
std::string BaseName(const std::string& path);

/// The value of "KEY=value" in a uevent file's text; empty when the key is not there.
std::string UeventValue(const std::string& uevent, const std::string& key);

}  // namespace orlup

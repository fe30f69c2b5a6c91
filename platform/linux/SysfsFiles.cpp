// Defensive reads of sysfs folders and attribute files, which may change or vanish at any moment.
#include "platform/linux/SysfsFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/linux/UniqueFd.h"

namespace orlup {

namespace {

// sysfs serves an attribute as one page at most.
constexpr size_t maxAttributeSize = 4096;

bool IsTrailingSpace(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    // Without exceptions: a folder that goes while it is read ends the list.
    std::error_code error;
    for (std::filesystem::directory_iterator entry(path, error), end; !error && entry != end;
         entry.increment(error)) {
        names.push_back(entry->path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// sysfs serves an attribute from memory under a mutex, never cut short by a signal.
std::string ReadAttribute(const std::string& path) {
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    char buffer[maxAttributeSize];
    const ssize_t length = read(fd.Get(), buffer, sizeof buffer);
    std::string text(buffer, strnlen(buffer, static_cast<size_t>(std::max<ssize_t>(length, 0))));
    while (!text.empty() && IsTrailingSpace(text.back())) text.pop_back();
    return text;
}

// from_chars takes no sign, prefix or blank, in either case of letters.
bool ParseHexId(const std::string& text, uint16_t* value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *value, 16);
    return error == std::errc() && stop == end && text.size() <= 4;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string UeventValue(const std::string& uevent, const std::string& key) {
    std::istringstream lines(uevent);
    const std::string prefix = key + "=";
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    }
    return "";
}

}  // namespace orlup

// Defensive reads of sysfs folders and attribute files, which may change or vanish at any moment.
#include "platform/linux/SysfsFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>

#include "platform/linux/UniqueFd.h"

namespace orlup {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// sysfs serves an attribute as one page at most.
constexpr size_t maxAttributeSize = 4096;

bool IsTrailingSpace(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

bool ListFolder(const std::string& path, std::vector<std::string>* names) {
    UniqueDir dir(opendir(path.c_str()));
    if (!dir) {
        return false;
    }
    names->clear();
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names->push_back(name);
        }
    }
    std::sort(names->begin(), names->end());
    return true;
}

bool ReadAttribute(const std::string& path, std::string* value) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid()) {
        return false;
    }
    char buffer[maxAttributeSize];
    ssize_t length;
    do {
        length = read(fd.Get(), buffer, sizeof buffer);
    } while (length < 0 && errno == EINTR);
    if (length < 0) {
        return false;
    }
    std::string text(buffer, strnlen(buffer, static_cast<size_t>(length)));
    while (!text.empty() && IsTrailingSpace(text.back())) {
        text.pop_back();
    }
    *value = text;
    return true;
}

bool ParseHexId(const std::string& text, uint16_t* value) {
    if (text.empty() || text.size() > 4) {
        return false;
    }
    uint16_t result = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return false;
        }
        result = static_cast<uint16_t>(result * 16 + digit);
    }
    *value = result;
    return true;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

bool FindUeventValue(const std::string& uevent, const std::string& key, std::string* value) {
    std::istringstream lines(uevent);
    const std::string prefix = key + "=";
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            *value = line.substr(prefix.size());
            return true;
        }
    }
    return false;
}

}  // namespace orlup

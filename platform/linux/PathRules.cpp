// Linux file-name rule: both separators count, because image paths may come from Windows users.
#include "update/FileNameRule.h"

namespace orlup {

std::string FileNameOf(const std::string& path) {
    const std::string::size_type separator = path.find_last_of("/\\");
    if (separator == std::string::npos) {
        return "";
    }
    return path.substr(separator + 1);
}

}  // namespace orlup

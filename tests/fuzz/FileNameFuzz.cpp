// The file-name rule over any path a user can type or a file dialog can hand back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "update/FileNameRule.h"
#include "update/FirmwareModel.h"

using namespace orlup;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string name = FileNameOf(path);
    const auto npos = std::string::npos;

    // A suffix without a separator that starts right after the last one; none without one.
    FUZZ_CHECK(name.size() <= path.size() && name.find_first_of("/\\") == npos);
    const std::string before = path.substr(0, path.size() - name.size());
    FUZZ_CHECK(before + name == path);
    FUZZ_CHECK(path.find_first_of("/\\") == npos ? name.empty()
                                                 : before.back() == '/' || before.back() == '\\');

    const FirmwareModel* model = ModelForPath(path);
    for (const FirmwareModel& candidate : FirmwareModels) {
        FUZZ_CHECK((model == &candidate) == (name.compare(0, 4, candidate.fileNameTag) == 0));
    }
    return 0;
}

// The model table, the file-name rule and the update command.
#include "update/FirmwareModel.h"

#include "update/FileNameRule.h"

namespace orlup {

const FirmwareModel FirmwareModels[FirmwareModelCount] = {
    {"Ilvaran", "0493", 0x044E, 0x200A, "No Ilvaran printers found"},
    {"Ilvaran-II", "0498", 0x044E, 0x1301, "No Ilvaran-II printers found"},
};

const FirmwareModel* ModelForPath(const std::string& path) {
    const std::string tag = FileNameOf(path).substr(0, 4);
    // The tags are ASCII digits, for which a case-insensitive comparison is an exact one.
    for (const FirmwareModel& model : FirmwareModels) {
        if (tag == model.fileNameTag) return &model;
    }
    return nullptr;
}

UpdateCommand BuildUpdateCommand(uint32_t imageSize) {
    return {0x1B,
            0x21,
            0x67,
            0x00,
            static_cast<uint8_t>(imageSize),
            static_cast<uint8_t>(imageSize >> 8),
            static_cast<uint8_t>(imageSize >> 16),
            static_cast<uint8_t>(imageSize >> 24),
            0x43};
}

}  // namespace orlup

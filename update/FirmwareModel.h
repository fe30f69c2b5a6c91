// The printer models, the file-name rule that picks one, and the command that opens a transfer.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orlup {

struct FirmwareModel {
    const char* modelName;
    const char* fileNameTag;  // four ASCII digits
    uint16_t vendorId;
    uint16_t productId;
    const char* noneFoundText;
};

constexpr std::size_t FirmwareModelCount = 2;
extern const FirmwareModel FirmwareModels[FirmwareModelCount];

/// The model an image is meant for, told by the first four bytes of its file name;
/// null when neither tag matches.
const FirmwareModel* ModelForPath(const std::string& path);

constexpr std::size_t UpdateCommandSize = 9;
using UpdateCommand = std::array<uint8_t, UpdateCommandSize>;

/// ESC ! g 0x00, the size least significant byte first, C.
UpdateCommand BuildUpdateCommand(uint32_t imageSize);

}  // namespace orlup

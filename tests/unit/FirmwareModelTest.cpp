// The file-name rule and the update command.
#include <gtest/gtest.h>

#include "update/FirmwareModel.h"

namespace orlup {
namespace {

// The first four bytes of the name after the last backslash tell the model; nothing else does.
TEST(ModelForPathTest, OnlyTheExactTagAtTheStartOfTheNameMatches) {
    const struct {
        const char* path;
        uint16_t productId;  // 0: no model
    } cases[] = {
        {"C:\\images\\0498rev3.hex", 0x1301},
        {"C:\\images\\0493.HEX", 0x200A},
        {"C:\\x\\0493_anything.bin", 0x200A},
        {"C:\\images\\flash0493.hex", 0},
        {"C:\\images\\049", 0},
        {"C:\\images\\", 0},
        {"C:\\0493\\1234.hex", 0},
        {"C:\\images\\0497.hex", 0},
        {"0493.hex", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        const FirmwareModel* model = ModelForPath(c.path);
        EXPECT_EQ(model == nullptr ? 0 : model->productId, c.productId) << c.path;
    }
    EXPECT_STREQ(ModelForPath("C:\\images\\0498rev3.hex")->modelName, "Ilvaran-II");
}

TEST(BuildUpdateCommandTest, CarriesTheSizeLeastSignificantByteFirst) {
    EXPECT_EQ(BuildUpdateCommand(300),
              (UpdateCommand{0x1B, 0x21, 0x67, 0x00, 0x2C, 0x01, 0x00, 0x00, 0x43}));
    EXPECT_EQ(BuildUpdateCommand(0xA1B2C3D4),
              (UpdateCommand{0x1B, 0x21, 0x67, 0x00, 0xD4, 0xC3, 0xB2, 0xA1, 0x43}));
}

}  // namespace
}  // namespace orlup

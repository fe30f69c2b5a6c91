// The file-name rule and the update command.
#include <gtest/gtest.h>

#include "update/FirmwareModel.h"

namespace orlup {
namespace {

const char* ModelName(const std::string& path) {
    const FirmwareModel* model = ModelForPath(path);
    return model == nullptr ? "none" : model->modelName;
}

TEST(ModelForPathTest, TheFirstFourBytesOfTheFileNameTellTheModel) {
    EXPECT_STREQ(ModelName("C:\\images\\0498rev3.hex"), "Ilvaran-II");
    EXPECT_STREQ(ModelName("C:\\images\\0493.HEX"), "Ilvaran");
    EXPECT_STREQ(ModelName("C:\\x\\0493_anything.bin"), "Ilvaran");
    EXPECT_EQ(ModelForPath("C:\\images\\0498rev3.hex")->productId, 0x1301);
    EXPECT_EQ(ModelForPath("C:\\images\\0493.HEX")->productId, 0x200A);
}

TEST(ModelForPathTest, OnlyTheExactTagAtTheStartOfTheNameMatches) {
    EXPECT_STREQ(ModelName("C:\\images\\flash0493.hex"), "none");
    EXPECT_STREQ(ModelName("C:\\images\\049"), "none");
    EXPECT_STREQ(ModelName("C:\\images\\"), "none");
    EXPECT_STREQ(ModelName("C:\\0493\\1234.hex"), "none");  // the folder does not count
    EXPECT_STREQ(ModelName("C:\\images\\0497.hex"), "none");
}

TEST(ModelForPathTest, ANameWithoutAnyDirectoryPartIsRejected) {
    EXPECT_STREQ(ModelName("0493.hex"), "none");
    EXPECT_STREQ(ModelName(""), "none");
}

TEST(BuildUpdateCommandTest, CarriesTheSizeLeastSignificantByteFirst) {
    EXPECT_EQ(BuildUpdateCommand(300),
              (UpdateCommand{0x1B, 0x21, 0x67, 0x00, 0x2C, 0x01, 0x00, 0x00, 0x43}));
    EXPECT_EQ(BuildUpdateCommand(0xA1B2C3D4),
              (UpdateCommand{0x1B, 0x21, 0x67, 0x00, 0xD4, 0xC3, 0xB2, 0xA1, 0x43}));
    EXPECT_EQ(BuildUpdateCommand(0),
              (UpdateCommand{0x1B, 0x21, 0x67, 0x00, 0x00, 0x00, 0x00, 0x00, 0x43}));
}

}  // namespace
}  // namespace orlup

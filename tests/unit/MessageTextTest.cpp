// Error texts and message formatting.
#include <gtest/gtest.h>

#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"

namespace orlup {
namespace {

std::string Description(uint32_t code) {
    char text[512] = {};
    EXPECT_GT(SystemErrorDescription(code, DefaultLanguageId, text, 511), 0u) << code;
    return text;
}

TEST(ErrorTextTest, TheSystemTextThenTheCodeInUpperCaseHex) {
    EXPECT_EQ(ErrorText(ErrorCode::FileNotFound), Description(2) + " (0x2)");
    EXPECT_EQ(ErrorText(ErrorCode::DeviceNotConnected), Description(1167) + " (0x48F)");
    EXPECT_EQ(ErrorText(0xDEADBEEF), "Unknown error (0xDEADBEEF)");
    EXPECT_EQ(ErrorText(0x7FFF0001, 0x0400), "Unknown error (0x7FFF0001)");
}

TEST(FormatTextTest, OutputIsWholeUpToTheLimitAndCutThereInBothForms) {
    EXPECT_EQ(FormatText("%s", std::string(255, 'a').c_str()), std::string(255, 'a'));
    EXPECT_EQ(FormatText("%s", std::string(256, 'b').c_str()), std::string(256, 'b'));
    EXPECT_EQ(FormatText("%s", std::string(5000, 'c').c_str()), std::string(5000, 'c'));
    EXPECT_EQ(FormatText("%s", std::string(9000, 'd').c_str()), std::string(8704, 'd'));
    EXPECT_EQ(FormatText("USBPRINT-%d", -3), "USBPRINT--3");
    EXPECT_EQ(FormatText("%ls", L"\u0100"), "");  // not to be had in this locale: nothing
    std::string target = "old contents that are longer";
    FormatText(target, "USBPRINT-%d", 7);
    EXPECT_EQ(target, "USBPRINT-7");
    FormatText(target, "%s", "");
    EXPECT_EQ(target, "");
    EXPECT_EQ(JoinText("ReadFile failed - ", "Some text (0x1E)"),
              "ReadFile failed - Some text (0x1E)");
}

}  // namespace
}  // namespace orlup

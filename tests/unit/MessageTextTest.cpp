// Error texts from the system's table, and the formatting of texts.
#include <gtest/gtest.h>

#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"

namespace orlup {
namespace {

std::string Description(uint32_t code) {
    char text[511] = {};
    EXPECT_GT(SystemErrorDescription(code, DefaultLanguageId, text, sizeof text), 0u) << code;
    return text;
}

TEST(ErrorTextTest, TheSystemTextThenTheCodeInUpperCaseHex) {
    EXPECT_EQ(ErrorText(ErrorCode::FileNotFound), Description(2) + " (0x2)");
    EXPECT_EQ(ErrorText(ErrorCode::DeviceNotConnected), Description(1167) + " (0x48F)");
    EXPECT_EQ(ErrorText(0xDEADBEEF), "Unknown error (0xDEADBEEF)");
    EXPECT_EQ(ErrorText(0x7FFF0001, 0x0400), "Unknown error (0x7FFF0001)");
    // The C library's vsnprintf of each system: output cut at the limit, and a text not to be
    // had in this locale.
    EXPECT_EQ(FormatText("%s", std::string(9000, 'd').c_str()), std::string(FormatTextLimit, 'd'));
    EXPECT_EQ(FormatText("%ls", L"\u0100"), "");
}

}  // namespace
}  // namespace orlup

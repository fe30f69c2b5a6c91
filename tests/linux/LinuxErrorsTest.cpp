// errno mapping, the descriptions behind every error code, and the file-name rule.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "platform/ErrorCodes.h"
#include "platform/PathRules.h"
#include "platform/linux/LinuxErrors.h"
#include "text/ErrorText.h"

namespace orlup::test {
namespace {

std::string Describe(uint32_t code, uint32_t bufferSize = 511) {
    std::string buffer(bufferSize, '\x7f');
    const uint32_t length = SystemErrorDescription(code, 0x0400, buffer.data(), bufferSize);
    return length == 0 || buffer[length] != '\0' ? "" : buffer.substr(0, length);
}

// The codes are read from the header itself, so that a code added there is covered too.
TEST(LinuxErrorsTest, EveryCodeOfTheHeaderHasOneSentenceThatFits) {
    std::stringstream header;
    header << std::ifstream(ORLUP_ERROR_CODES_HEADER).rdbuf();
    const std::string source = header.str();
    const std::regex constant(R"(constexpr uint32_t (\w+) = (\d+);)");
    int codes = 0;
    for (std::sregex_iterator match(source.begin(), source.end(), constant), end; match != end;
         ++match, ++codes) {
        const std::string name = (*match)[1];
        const auto code = static_cast<uint32_t>(std::stoul((*match)[2]));
        const std::string text = Describe(code);
        ASSERT_FALSE(text.empty()) << name;
        EXPECT_EQ(text.back(), '.') << name;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << name;
        EXPECT_EQ(Describe(code, text.size()), "") << name << " must not be cut";
        EXPECT_EQ(Describe(code, text.size() + 1), text) << name;
        std::ostringstream expected;
        expected << text << " (0x" << std::uppercase << std::hex << code << ")";
        EXPECT_EQ(ErrorText(code), expected.str()) << name;
    }
    EXPECT_GE(codes, 20);
    EXPECT_EQ(Describe(0x1234), "");
}

// What usblp reports must reach the user as the codes the core and the CLI tell apart.
TEST(LinuxErrorsTest, ErrnoValuesMapToWindowsCodes) {
    EXPECT_EQ(ErrorCodeFromErrno(ENOENT), ErrorCode::FileNotFound);
    EXPECT_EQ(ErrorCodeFromErrno(EISDIR), ErrorCode::AccessDenied);
    EXPECT_EQ(ErrorCodeFromErrno(EBUSY), ErrorCode::Busy);
    EXPECT_EQ(ErrorCodeFromErrno(ENODEV), ErrorCode::DeviceNotConnected);
    EXPECT_EQ(ErrorCodeFromErrno(EIO), ErrorCode::GenFailure);
    EXPECT_EQ(ErrorCodeFromErrno(ETIMEDOUT), ErrorCode::Timeout);
    EXPECT_EQ(ErrorCodeFromErrno(EINTR), ErrorCode::OperationAborted);
    // An errno without a counterpart keeps its value and is named in its description.
    EXPECT_EQ(ErrorCodeFromErrno(EHOSTDOWN), ErrnoCodeBit | EHOSTDOWN);
    EXPECT_EQ(Describe(ErrnoCodeBit | EHOSTDOWN), "The system reported the error EHOSTDOWN.");
}

TEST(PathRulesTest, FileNameFollowsTheLastSlashOrBackslash) {
    EXPECT_EQ(FileNameOf("/tmp/img/0493fw.hex"), "0493fw.hex");
    EXPECT_EQ(FileNameOf("dir\\sub/0493a"), "0493a");
    EXPECT_EQ(FileNameOf("C:\\images\\"), "");
    EXPECT_EQ(FileNameOf("0493fw.hex"), "");
}

}  // namespace
}  // namespace orlup::test

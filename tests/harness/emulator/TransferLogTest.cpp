// Tests of how the emulated printer judges what it received: the harness's verdicts rest on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageFiles.h"
#include "TransferLog.h"

namespace orlup::harness {
namespace {

std::vector<uint8_t> Command(uint32_t size, uint8_t suffix = 'C') {
    return {0x1B,
            '!',
            'g',
            0x00,
            static_cast<uint8_t>(size),
            static_cast<uint8_t>(size >> 8),
            static_cast<uint8_t>(size >> 16),
            static_cast<uint8_t>(size >> 24),
            suffix};
}

std::vector<uint8_t> Concat(std::vector<uint8_t> first, const std::vector<uint8_t>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Feeds stream in pieces of pieceSize, one every stepMs.
void Feed(TransferLog* log, const std::vector<uint8_t>& stream, size_t pieceSize,
          int64_t stepMs = 10) {
    int64_t atMs = 0;
    for (size_t offset = 0; offset < stream.size(); offset += pieceSize, atMs += stepMs) {
        log->Receive(stream.data() + offset, std::min(pieceSize, stream.size() - offset), atMs);
    }
}

bool Has(const TransferLog& log, const std::string& line) {
    return log.Report().find("\n" + line + "\n") != std::string::npos ||
           log.Report().rfind(line + "\n", 0) == 0;
}

// usblp hands the gadget the command and the image in pieces that vary from run to run
// (2509 at once, or 9 then 2500): the verdict must not depend on where the pieces split.
TEST(TransferLogTest, AcceptsExactTransferHoweverItIsSplit) {
    const auto image = PatternImage(2500);
    const auto stream = Concat(Command(2500), image);
    for (size_t pieceSize : {size_t{1}, size_t{5}, size_t{9}, size_t{1024}, stream.size()}) {
        TransferLog log(image);
        Feed(&log, stream, pieceSize);
        EXPECT_TRUE(Has(log, "match=yes")) << "pieces of " << pieceSize << "\n" << log.Report();
        EXPECT_TRUE(Has(log, "command=ok"));
        EXPECT_TRUE(Has(log, "announced=2500"));
        EXPECT_TRUE(Has(log, "extra=0"));
    }
}

TEST(TransferLogTest, FlagsWhatDiffersFromTheImage) {
    const auto image = PatternImage(4096);
    auto corrupted = image;
    corrupted[3000] ^= 0xFF;
    TransferLog wrongByte(image);
    Feed(&wrongByte, Concat(Command(4096), corrupted), 1024);
    EXPECT_TRUE(Has(wrongByte, "firstMismatch=3000"));
    EXPECT_TRUE(Has(wrongByte, "match=no"));

    TransferLog trailing(image);
    Feed(&trailing, Concat(Concat(Command(4096), image), {'x', 'y'}), 1024);
    EXPECT_TRUE(Has(trailing, "extra=2"));
    EXPECT_TRUE(Has(trailing, "match=no"));

    TransferLog wrongSize(image);
    Feed(&wrongSize, Concat(Command(4000), image), 1024);
    EXPECT_TRUE(Has(wrongSize, "payload=4000"));
    EXPECT_TRUE(Has(wrongSize, "extra=96"));
    EXPECT_TRUE(Has(wrongSize, "match=no"));

    TransferLog cutShort(image);
    Feed(&cutShort, Concat(Command(4096), std::vector<uint8_t>(image.begin(), image.begin() + 100)),
         1024);
    EXPECT_TRUE(Has(cutShort, "payload=100"));
    EXPECT_TRUE(Has(cutShort, "match=no"));
}

// A printer that misreads the command takes the image as print data: nothing after a bad
// command may count as image bytes.
TEST(TransferLogTest, RejectsMalformedCommands) {
    const auto image = PatternImage(64);
    auto badPrefix = Command(64);
    badPrefix[2] = 'G';
    for (const auto& command : {badPrefix, Command(64, 'c')}) {
        TransferLog log(image);
        Feed(&log, Concat(command, image), 16);
        EXPECT_TRUE(Has(log, "command=bad")) << log.Report();
        EXPECT_TRUE(Has(log, "payload=0"));
        EXPECT_TRUE(Has(log, "extra=64"));
    }

    TransferLog partial(image);
    Feed(&partial, {0x1B, '!', 'g'}, 3);
    EXPECT_TRUE(Has(partial, "command=short"));
    EXPECT_TRUE(Has(partial, "header=1b2167"));
}

TEST(TransferLogTest, MeasuresPaceFromCommandToLastImageByte) {
    const auto image = PatternImage(102400);
    TransferLog log(image);
    log.Receive(Command(102400).data(), TransferLog::CommandSize, 0);
    for (int piece = 0; piece < 100; ++piece) {
        log.Receive(image.data() + piece * 1024, 1024, 10 * (piece + 1) + (piece == 50 ? 30 : 0));
    }
    EXPECT_TRUE(Has(log, "match=yes"));
    EXPECT_TRUE(Has(log, "payloadMs=1000"));
    EXPECT_TRUE(Has(log, "pace=102400"));
    EXPECT_TRUE(Has(log, "maxGapMs=40"));
}

}  // namespace
}  // namespace orlup::harness

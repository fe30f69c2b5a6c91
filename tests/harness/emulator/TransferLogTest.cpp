// How the emulated printer judges what it received. No scenario feeds it a wrong stream, so
// these cases alone show that a wrong transfer would fail the harness.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TransferLog.h"

namespace orlup::harness {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Command(uint32_t size) {
    const UpdateCommand command = BuildUpdateCommand(size);
    return Bytes(command.begin(), command.end());
}

Bytes Concat(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Fed in odd pieces: usblp splits the stream differently from one run to the next.
std::string ReportOf(const Bytes& image, const Bytes& stream) {
    TransferLog log(image);
    for (size_t at = 0; at < stream.size(); at += 1000) {
        log.Receive(stream.data() + at, std::min<size_t>(1000, stream.size() - at), 0);
    }
    return "\n" + log.Report();
}

TEST(TransferLogTest, MatchesOnlyTheAnnouncedImageAfterAGoodCommand) {
    Bytes image(4096);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 256);
    Bytes corrupted = image, badCommand = Command(4096);
    corrupted[3000] ^= 0x01;
    badCommand[2] = 'G';
    const struct {
        Bytes stream;
        std::vector<std::string> facts;
    } cases[] = {
        {Concat(Command(4096), image), {"command=ok", "payload=4096", "match=yes"}},
        {Concat(Command(4096), corrupted), {"firstMismatch=3000", "match=no"}},
        {Concat(Command(4096), Concat(image, {'x', 'y'})), {"extra=2", "match=no"}},
        {Concat(Command(4096), Bytes(image.begin(), image.begin() + 100)), {"match=no"}},
        // Whole as announced, but not the image the printer was to get.
        {Concat(Command(4000), Bytes(image.begin(), image.begin() + 4000)), {"match=no"}},
        {Concat(badCommand, image), {"command=bad", "extra=4096", "match=no"}},
        {{0x1B, '!', 'g'}, {"command=short", "header=1b2167", "match=no"}},
    };
    for (const auto& c : cases) {
        const std::string report = ReportOf(image, c.stream);
        for (const std::string& fact : c.facts) {
            EXPECT_NE(report.find("\n" + fact + "\n"), std::string::npos) << fact << report;
        }
    }
}

// Faster than nominal means the host's 10 ms pacing is not happening: the scenarios rely on
// this figure being right.
TEST(TransferLogTest, MeasuresPaceFromCommandToLastImageByte) {
    const Bytes image(10240, 0x55);
    TransferLog log(image);
    log.Receive(Command(10240).data(), UpdateCommandSize, 1000);
    for (int piece = 0; piece < 10; ++piece) {
        log.Receive(image.data() + piece * 1024, 1024, 1010 + piece * 10 + (piece >= 5 ? 30 : 0));
    }
    const std::string report = "\n" + log.Report();
    EXPECT_NE(report.find("\npace=78769\n"), std::string::npos) << report;  // 10240 B in 130 ms
    EXPECT_NE(report.find("\nmaxGapMs=40\n"), std::string::npos) << report;
}

}  // namespace
}  // namespace orlup::harness

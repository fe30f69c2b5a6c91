// What one emulated printer received: the update command, the image bytes and their pace.
#include "TransferLog.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <sstream>

namespace orlup::harness {

namespace {

constexpr uint8_t CommandPrefix[] = {0x1B, '!', 'g', 0x00};
constexpr uint8_t CommandSuffix = 'C';

}  // namespace

void TransferLog::Receive(const uint8_t* bytes, size_t count, int64_t atMs) {
    if (count == 0) return;
    stream_.insert(stream_.end(), bytes, bytes + count);
    arrivals_.push_back({stream_.size(), atMs});
}

bool TransferLog::CommandOk() const {
    return stream_.size() >= CommandSize &&
           std::equal(std::begin(CommandPrefix), std::end(CommandPrefix), stream_.begin()) &&
           stream_[CommandSize - 1] == CommandSuffix;
}

uint64_t TransferLog::Announced() const {
    uint64_t size = 0;
    for (size_t i = 0; CommandOk() && i < 4; ++i) size |= uint64_t{stream_[4 + i]} << (8 * i);
    return size;
}

int64_t TransferLog::FirstMismatch(uint64_t payload) const {
    for (uint64_t i = 0; i < payload; ++i) {
        if (i >= expected_.size() || stream_[CommandSize + i] != expected_[i]) {
            return static_cast<int64_t>(i);
        }
    }
    return -1;
}

// When the first byteCount bytes had all come; -1 if they never did.
int64_t TransferLog::ArrivalOf(uint64_t byteCount) const {
    const auto found = std::find_if(arrivals_.begin(), arrivals_.end(),
                                    [byteCount](const Arrival& a) { return a.end >= byteCount; });
    return found == arrivals_.end() ? -1 : found->atMs;
}

// Only pauses after the command count: before it, the host was still finding the printer.
int64_t TransferLog::MaxGapMs() const {
    int64_t gap = 0;
    for (size_t i = 1; i < arrivals_.size(); ++i) {
        if (arrivals_[i - 1].end < CommandSize) continue;
        gap = std::max(gap, arrivals_[i].atMs - arrivals_[i - 1].atMs);
    }
    return gap;
}

std::string TransferLog::HeaderHex() const {
    std::string hex;
    char pair[3];
    for (size_t i = 0; i < std::min(stream_.size(), CommandSize); ++i) {
        std::snprintf(pair, sizeof(pair), "%02x", stream_[i]);
        hex += pair;
    }
    return hex.empty() ? "-" : hex;
}

// A real printer takes anything after a bad command, or past the announced size, as print
// data: that is "extra", never image.
std::string TransferLog::Report() const {
    const uint64_t body = stream_.size() > CommandSize ? stream_.size() - CommandSize : 0;
    const uint64_t payload = std::min(body, Announced());
    const int64_t firstMismatch = FirstMismatch(payload);
    const bool match = CommandOk() && Announced() == expected_.size() && body == expected_.size() &&
                       firstMismatch < 0;
    const int64_t payloadMs =
        payload > 0 ? ArrivalOf(CommandSize + payload) - ArrivalOf(CommandSize) : 0;
    const char* command = stream_.size() < CommandSize ? "short" : CommandOk() ? "ok" : "bad";
    std::ostringstream out;
    out << "received=" << stream_.size() << "\ncommand=" << command << "\nheader=" << HeaderHex()
        << "\nannounced=" << Announced() << "\nexpected=" << expected_.size()
        << "\npayload=" << payload << "\nextra=" << body - payload
        << "\nfirstMismatch=" << firstMismatch << "\nmatch=" << (match ? "yes" : "no")
        << "\nchunks=" << arrivals_.size()
        << "\npace=" << (payloadMs > 0 ? payload * 1000 / static_cast<uint64_t>(payloadMs) : 0)
        << "\nmaxGapMs=" << MaxGapMs() << "\n";
    return out.str();
}

}  // namespace orlup::harness

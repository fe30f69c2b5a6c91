// What one emulated printer received: the update command, the image bytes and their pace.
#include "TransferLog.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace orlup::harness {

// Only pauses after the command count: before it, the host was still finding the printer.
void TransferLog::Receive(const uint8_t* bytes, size_t count, int64_t atMs) {
    if (count == 0) return;
    if (intake_.CommandWhole()) maxGapMs_ = std::max(maxGapMs_, atMs - lastAtMs_);
    const uint64_t offset = intake_.ImageTaken();
    const PrinterIntake::Split split = intake_.Take(bytes, count);
    if (split.command > 0 && intake_.CommandWhole()) commandAtMs_ = atMs;
    if (split.image > 0) lastImageAtMs_ = atMs;
    Compare(bytes + split.command, split.image, offset);
    received_ += count;
    ++chunks_;
    lastAtMs_ = atMs;
}

void TransferLog::Compare(const uint8_t* image, size_t count, uint64_t offset) {
    for (size_t i = 0; i < count && firstMismatch_ < 0; ++i) {
        if (offset + i >= expected_.size() || image[i] != expected_[offset + i]) {
            firstMismatch_ = static_cast<int64_t>(offset + i);
        }
    }
}

std::string TransferLog::Report() const {
    std::string header;
    char pair[3];
    for (size_t i = 0; i < intake_.CommandSize(); ++i) {
        std::snprintf(pair, sizeof(pair), "%02x", intake_.command()[i]);
        header += pair;
    }
    const uint64_t payload = intake_.ImageTaken();
    const int64_t payloadMs = lastImageAtMs_ - commandAtMs_;
    const bool match =
        intake_.Complete() && intake_.Announced() == expected_.size() && firstMismatch_ < 0;
    const char* command = !intake_.CommandWhole() ? "short" : intake_.CommandValid() ? "ok" : "bad";
    std::ostringstream out;
    out << "received=" << received_ << "\ncommand=" << command
        << "\nheader=" << (header.empty() ? "-" : header) << "\nannounced=" << intake_.Announced()
        << "\nexpected=" << expected_.size() << "\npayload=" << payload
        << "\nextra=" << intake_.Refused() << "\nfirstMismatch=" << firstMismatch_
        << "\nmatch=" << (match ? "yes" : "no") << "\nchunks=" << chunks_
        << "\npace=" << (payloadMs > 0 ? payload * 1000 / static_cast<uint64_t>(payloadMs) : 0)
        << "\nmaxGapMs=" << maxGapMs_ << "\n";
    return out.str();
}

}  // namespace orlup::harness

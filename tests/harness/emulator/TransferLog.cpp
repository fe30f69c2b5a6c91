// What one emulated printer received: the update command, the image bytes and their pace.
#include "TransferLog.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <utility>

namespace orlup::harness {

namespace {

constexpr uint8_t CommandPrefix[] = {0x1B, '!', 'g', 0x00};
constexpr uint8_t CommandSuffix = 'C';

}  // namespace

TransferLog::TransferLog(std::vector<uint8_t> expectedImage)
    : expected_(std::move(expectedImage)) {}

void TransferLog::Receive(const uint8_t* bytes, size_t count, int64_t atMs) {
    if (count == 0) return;
    if (lastChunkMs_ >= 0 && command_ == CommandState::Ok) {
        maxGapMs_ = std::max(maxGapMs_, atMs - lastChunkMs_);
    }
    lastChunkMs_ = atMs;
    ++chunks_;
    const uint64_t payloadBefore = payload_;
    for (size_t i = 0; i < count; ++i) {
        if (header_.size() < CommandSize) {
            TakeCommandByte(bytes[i]);
            if (header_.size() == CommandSize) commandMs_ = atMs;
        } else {
            TakeAfterCommand(bytes[i], received_ + i - CommandSize);
        }
    }
    received_ += count;
    if (payload_ != payloadBefore) lastPayloadMs_ = atMs;
}

void TransferLog::TakeCommandByte(uint8_t byte) {
    header_.push_back(byte);
    command_ = CheckCommand();
    if (command_ == CommandState::Ok) {
        announced_ = uint64_t{header_[4]} | uint64_t{header_[5]} << 8 | uint64_t{header_[6]} << 16 |
                     uint64_t{header_[7]} << 24;
    }
}

// Anything after a bad command, or past the announced size, is what a real printer would
// have taken as print data: count it as extra.
void TransferLog::TakeAfterCommand(uint8_t byte, uint64_t index) {
    if (command_ != CommandState::Ok || index >= announced_) {
        ++extra_;
        return;
    }
    ++payload_;
    const bool differs = index >= expected_.size() || expected_[index] != byte;
    if (differs && firstMismatch_ < 0) firstMismatch_ = static_cast<int64_t>(index);
}

TransferLog::CommandState TransferLog::CheckCommand() const {
    for (size_t i = 0; i < header_.size(); ++i) {
        if (i < sizeof(CommandPrefix) && header_[i] != CommandPrefix[i]) return CommandState::Bad;
        if (i == CommandSize - 1 && header_[i] != CommandSuffix) return CommandState::Bad;
    }
    return header_.size() < CommandSize ? CommandState::Short : CommandState::Ok;
}

bool TransferLog::ImageMatches() const {
    return command_ == CommandState::Ok && announced_ == expected_.size() &&
           payload_ == expected_.size() && firstMismatch_ < 0 && extra_ == 0;
}

std::string TransferLog::HeaderHex() const {
    std::string hex;
    char pair[3];
    for (uint8_t byte : header_) {
        std::snprintf(pair, sizeof(pair), "%02x", byte);
        hex += pair;
    }
    return hex.empty() ? "-" : hex;
}

std::string TransferLog::Report() const {
    static const char* const commandNames[] = {"none", "short", "ok", "bad"};
    const int64_t payloadMs = lastPayloadMs_ >= 0 ? lastPayloadMs_ - commandMs_ : 0;
    std::ostringstream out;
    out << "received=" << received_ << "\n"
        << "command=" << commandNames[static_cast<int>(command_)] << "\n"
        << "header=" << HeaderHex() << "\n"
        << "announced=" << announced_ << "\n"
        << "expected=" << expected_.size() << "\n"
        << "payload=" << payload_ << "\n"
        << "firstMismatch=" << firstMismatch_ << "\n"
        << "extra=" << extra_ << "\n"
        << "match=" << (ImageMatches() ? "yes" : "no") << "\n"
        << "chunks=" << chunks_ << "\n"
        << "payloadMs=" << payloadMs << "\n"
        << "pace=" << (payloadMs > 0 ? payload_ * 1000 / payloadMs : 0) << "\n"
        << "maxGapMs=" << maxGapMs_ << "\n";
    return out.str();
}

}  // namespace orlup::harness

// What one emulated printer received: the update command, the image bytes and their pace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orlup::harness {

class TransferLog {
public:
    static constexpr size_t CommandSize = 9;

    explicit TransferLog(std::vector<uint8_t> expectedImage);

    /// Takes the bytes of one read from the gadget, as they arrived at atMs.
    void Receive(const uint8_t* bytes, size_t count, int64_t atMs);

    uint64_t Received() const { return received_; }

    /// key=value lines, one fact a line, for the guest's checks to grep.
    std::string Report() const;

private:
    enum class CommandState { None, Short, Ok, Bad };

    void TakeCommandByte(uint8_t byte);
    void TakeAfterCommand(uint8_t byte, uint64_t index);
    CommandState CheckCommand() const;
    bool ImageMatches() const;
    std::string HeaderHex() const;

    std::vector<uint8_t> expected_;
    std::vector<uint8_t> header_;
    CommandState command_ = CommandState::None;
    uint64_t announced_ = 0;
    uint64_t received_ = 0;
    uint64_t payload_ = 0;
    uint64_t extra_ = 0;
    int64_t firstMismatch_ = -1;
    uint64_t chunks_ = 0;
    int64_t commandMs_ = -1;
    int64_t lastPayloadMs_ = -1;
    int64_t lastChunkMs_ = -1;
    int64_t maxGapMs_ = 0;
};

}  // namespace orlup::harness

// What one emulated printer received: the update command, the image bytes and their pace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orlup::harness {

class TransferLog {
public:
    static constexpr size_t CommandSize = 9;

    explicit TransferLog(std::vector<uint8_t> expectedImage)
        : expected_(std::move(expectedImage)) {}

    /// Takes the bytes of one read from the gadget, as they arrived at atMs.
    void Receive(const uint8_t* bytes, size_t count, int64_t atMs);

    uint64_t Received() const { return stream_.size(); }

    /// key=value lines, one fact a line, for the guest's checks to read.
    std::string Report() const;

private:
    struct Arrival {
        uint64_t end;
        int64_t atMs;
    };

    bool CommandOk() const;
    uint64_t Announced() const;
    int64_t FirstMismatch(uint64_t payload) const;
    int64_t ArrivalOf(uint64_t byteCount) const;
    int64_t MaxGapMs() const;
    std::string HeaderHex() const;

    std::vector<uint8_t> expected_;
    std::vector<uint8_t> stream_;
    std::vector<Arrival> arrivals_;
};

}  // namespace orlup::harness

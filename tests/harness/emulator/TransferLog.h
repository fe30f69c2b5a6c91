// What one emulated printer received: judged as a printer judges it, compared with the image it
// should have been, and timed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/simulated/PrinterIntake.h"

namespace orlup::harness {

class TransferLog {
public:
    explicit TransferLog(std::vector<uint8_t> expectedImage)
        : expected_(std::move(expectedImage)) {}

    /// Takes the bytes of one read from the gadget, as they arrived at atMs.
    void Receive(const uint8_t* bytes, size_t count, int64_t atMs);

    uint64_t Received() const { return received_; }

    /// key=value lines, one fact a line, for the guest's checks to read.
    std::string Report() const;

private:
    void Compare(const uint8_t* image, size_t count, uint64_t offset);

    std::vector<uint8_t> expected_;
    PrinterIntake intake_;
    uint64_t received_ = 0;
    uint64_t chunks_ = 0;
    int64_t firstMismatch_ = -1;
    int64_t commandAtMs_ = 0;
    int64_t lastImageAtMs_ = 0;
    int64_t lastAtMs_ = 0;
    int64_t maxGapMs_ = 0;
};

}  // namespace orlup::harness

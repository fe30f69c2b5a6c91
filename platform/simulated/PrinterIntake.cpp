// What an Ilvaran printer makes of the bytes it is sent.
#include "platform/simulated/PrinterIntake.h"

#include <algorithm>

namespace orlup {

// Until a valid command is whole nothing is announced, so that no byte counts as image.
PrinterIntake::Split PrinterIntake::Take(const uint8_t* bytes, size_t count) {
    Split split;
    split.command = std::min(count, UpdateCommandSize - commandSize_);
    std::copy(bytes, bytes + split.command, command_.begin() + commandSize_);
    commandSize_ += split.command;
    if (CommandWhole()) Judge();
    const size_t rest = count - split.command;
    split.image = static_cast<size_t>(std::min<uint64_t>(rest, announced_ - image_));
    split.refused = rest - split.image;
    image_ += split.image;
    refused_ += split.refused;
    return split;
}

// The size is read from the command and the command built again from it: any other byte wrong
// makes the two differ.
void PrinterIntake::Judge() {
    const uint32_t size = uint32_t{command_[4]} | uint32_t{command_[5]} << 8 |
                          uint32_t{command_[6]} << 16 | uint32_t{command_[7]} << 24;
    valid_ = BuildUpdateCommand(size) == command_;
    announced_ = valid_ ? size : 0;
}

}  // namespace orlup

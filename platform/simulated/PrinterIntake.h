// What an Ilvaran printer makes of the bytes it is sent: the update command, then exactly the
// image it announced. The simulated printers and the test harness's emulated one both judge a
// transfer by it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "update/FirmwareModel.h"

namespace orlup {

class PrinterIntake {
public:
    /// How the bytes of one arrival divide, in this order: the command's, the image's, and
    /// those refused, which a real printer would print: anything after a bad command or past
    /// the announced size.
    struct Split {
        size_t command = 0;
        size_t image = 0;
        size_t refused = 0;
    };

    /// Takes the next bytes of the stream, however the host's writes were cut.
    Split Take(const uint8_t* bytes, size_t count);

    /// The command's bytes so far: CommandSize() of them.
    const UpdateCommand& command() const { return command_; }
    size_t CommandSize() const { return commandSize_; }
    bool CommandWhole() const { return commandSize_ == UpdateCommandSize; }
    /// Whole, and the update command for some size.
    bool CommandValid() const { return valid_; }
    /// The size the command announced; 0 until a valid one is whole.
    uint32_t Announced() const { return announced_; }
    uint64_t ImageTaken() const { return image_; }
    uint64_t Refused() const { return refused_; }
    /// A bad command, or bytes past the announced size: the printer would print them.
    bool Spoiled() const { return refused_ > 0 || (CommandWhole() && !valid_); }
    /// The announced image came whole and nothing else did.
    bool Complete() const { return CommandValid() && image_ == announced_ && refused_ == 0; }

private:
    void Judge();

    UpdateCommand command_{};
    size_t commandSize_ = 0;
    bool valid_ = false;
    uint32_t announced_ = 0;
    uint64_t image_ = 0;
    uint64_t refused_ = 0;
};

}  // namespace orlup

// Descriptors 0-2 belong to the terminal and nothing else, whatever state the program starts in.
#pragma once

#include "platform/linux/UniqueFd.h"

namespace orlup {

/// Opens /dev/null on each of descriptors 0-2 that is closed, so that no file opened later can
/// take their place and receive the program's output; and ignores SIGPIPE, so that writing to
/// a reader that quit never kills a transfer. The first call in every main().
void EnsureStandardDescriptors();

/// fd itself when it is above 2; otherwise a close-on-exec copy from 3 up, fd closed. Invalid,
/// with errno set, when fd was or the copy fails.
UniqueFd AboveStandardDescriptors(UniqueFd fd);

}  // namespace orlup

// Writes to files that go on until every byte is down or the file refuses more.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orlup {

/// Writes count bytes at fd's offset, going on after a signal and after a short write: 0 once all
/// are written, else the file error's code. A write that takes nothing is a disk out of room.
uint32_t WriteFully(int fd, const void* bytes, std::size_t count);

}  // namespace orlup

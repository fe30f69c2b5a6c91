// Writes to files that go on until every byte is down or the file refuses more.
#include "platform/linux/FileWrites.h"

#include <unistd.h>

#include <cerrno>

#include "platform/linux/LinuxErrors.h"

namespace orlup {

uint32_t WriteFully(int fd, const void* bytes, std::size_t count) {
    const char* next = static_cast<const char*>(bytes);
    for (const char* end = next + count; next != end;) {
        const ssize_t put = write(fd, next, static_cast<std::size_t>(end - next));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return FileErrorFromErrno(put < 0 ? errno : ENOSPC);
        next += put;
    }
    return 0;
}

}  // namespace orlup

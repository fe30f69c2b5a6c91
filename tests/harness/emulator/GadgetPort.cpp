// The printer's end of a configfs printer function: /dev/g_printerN, read with poll().
#include "GadgetPort.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace orlup::harness {

bool GadgetPort::Open(const std::string& path) {
    // Non-blocking: a blocking read on this node never wakes when the host goes away.
    fd_.Reset(open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    error_ = fd_.IsValid() ? 0 : errno;
    return fd_.IsValid();
}

long GadgetPort::ReadSome(uint8_t* buffer, size_t capacity, int timeoutMs) {
    pollfd entry{fd_.Get(), POLLIN, 0};
    const int ready = poll(&entry, 1, timeoutMs);
    const ssize_t count = ready > 0 ? read(fd_.Get(), buffer, capacity) : ready;
    if (count >= 0) return count;
    error_ = errno;
    return error_ == EAGAIN || error_ == EINTR ? 0 : -1;
}

uint64_t GadgetPort::Drain(int idleMs) {
    std::vector<uint8_t> buffer(128 * 1024);
    uint64_t total = 0;
    for (long count; (count = ReadSome(buffer.data(), buffer.size(), idleMs)) > 0;) {
        total += static_cast<uint64_t>(count);
    }
    return total;
}

}  // namespace orlup::harness

// The printer's end of a configfs printer function: /dev/g_printerN, read with poll().
#include "GadgetPort.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace orlup::harness {

namespace {

void SleepMs(int ms) {
    timespec delay{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&delay, nullptr);
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Reset();
        fd_ = other.Release();
    }
    return *this;
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool GadgetPort::Open(const std::string& path, int timeoutMs) {
    constexpr int RetryMs = 20;
    for (int waited = 0;; waited += RetryMs) {
        // Non-blocking: a blocking read on this node never wakes when the host goes away.
        fd_ = UniqueFd(open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        if (fd_.Valid()) return true;
        error_ = errno;
        const bool notYet = error_ == ENODEV || error_ == ENOENT;
        if (!notYet || waited >= timeoutMs) return false;
        SleepMs(RetryMs);
    }
}

long GadgetPort::ReadSome(uint8_t* buffer, size_t capacity, int timeoutMs) {
    pollfd entry{fd_.Get(), POLLIN, 0};
    const int ready = poll(&entry, 1, timeoutMs);
    if (ready < 0) {
        error_ = errno;
        return error_ == EINTR ? 0 : -1;
    }
    if (ready == 0) return 0;
    const ssize_t count = read(fd_.Get(), buffer, capacity);
    if (count >= 0) return count;
    error_ = errno;
    return error_ == EAGAIN || error_ == EINTR ? 0 : -1;
}

uint64_t GadgetPort::Drain(int idleMs) {
    std::vector<uint8_t> buffer(64 * 1024);
    uint64_t total = 0;
    for (;;) {
        const long count = ReadSome(buffer.data(), buffer.size(), idleMs);
        if (count <= 0) return total;
        total += static_cast<uint64_t>(count);
    }
}

}  // namespace orlup::harness

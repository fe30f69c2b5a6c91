// A move-only owner of one file descriptor, so that no path out of a function leaks it.
#pragma once

#include <unistd.h>

#include <climits>
#include <cstdint>
#include <utility>

namespace orlup {

/// The descriptor behind a handle of the core's file seams; false for one that cannot be.
inline bool ToFd(std::intptr_t handle, int* fd) {
    if (handle < 0 || handle > INT_MAX) return false;
    *fd = static_cast<int>(handle);
    return true;
}

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool IsValid() const { return fd_ >= 0; }

    /// Hands the descriptor to the caller, who closes it from then on.
    int Release() { return std::exchange(fd_, -1); }

    /// Closes the descriptor held, if any; Linux releases it even when close() reports an error.
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

}  // namespace orlup

// The printer's end of a configfs printer function: /dev/g_printerN, read with poll().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orlup::harness {

/// Owns one file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Reset();

private:
    int fd_ = -1;
};

class GadgetPort {
public:
    /// Opens path, retrying while the host has not configured the device yet (the gadget
    /// node refuses opens until then). False with Error() set when timeoutMs passed.
    bool Open(const std::string& path, int timeoutMs);

    /// Up to capacity bytes: the count, 0 when nothing came within timeoutMs, -1 on a
    /// failure with Error() set.
    long ReadSome(uint8_t* buffer, size_t capacity, int timeoutMs);

    /// Reads and throws away whatever arrives until nothing has come for idleMs: data a
    /// previous host left queued must not count as this transfer's.
    uint64_t Drain(int idleMs);

    void Close() { fd_.Reset(); }
    int Error() const { return error_; }

private:
    UniqueFd fd_;
    int error_ = 0;
};

}  // namespace orlup::harness

// The printer's end of a configfs printer function: /dev/g_printerN, read with poll().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/linux/UniqueFd.h"

namespace orlup::harness {

class GadgetPort {
public:
    /// The node refuses opens until the host has configured the device. False with Error()
    /// set when the open failed.
    bool Open(const std::string& path);

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

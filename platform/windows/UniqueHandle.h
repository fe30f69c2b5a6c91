// A move-only owner of one kernel handle, so that no path out of a function leaks it.
#pragma once

#include <windows.h>

#include <utility>

namespace orlup {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return handle_; }
    /// CreateFileA fails with INVALID_HANDLE_VALUE, most other calls with null.
    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

    /// Hands the handle to the caller, who closes it from then on.
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (IsValid()) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace orlup

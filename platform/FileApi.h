// The kernel's file calls that printer ports and the flash image need; one implementation per OS.
#pragma once

#include <cstdint>
#include <string>

namespace orlup {

/// A HANDLE on Windows, a file descriptor on Linux.
using FileHandle = std::intptr_t;
constexpr FileHandle InvalidFileHandle = -1;

class FileApi {
public:
    virtual ~FileApi() = default;

    /// CreateFileA with GENERIC_READ | GENERIC_WRITE, share mode 0, OPEN_EXISTING: an
    /// exclusive open of a USB device interface path. A device open elsewhere fails.
    virtual FileHandle OpenDevice(const std::string& devicePath) = 0;

    /// CreateFileA with GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING. Only regular files
    /// open; anything else fails with ErrorCode::AccessDenied and opening never blocks.
    virtual FileHandle OpenImage(const std::string& path) = 0;

    /// WriteFile, synchronous. True with *written set (possibly below count) when the
    /// system took the call; false with LastError set when it failed.
    virtual bool Write(FileHandle handle, const void* bytes, uint32_t count,
                       uint32_t* written) = 0;

    /// ReadFile: true with *read set (0 at the end of the file), false on failure.
    virtual bool Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) = 0;

    /// The whole 64-bit size, so that a caller can refuse what its size field cannot carry.
    virtual bool Size(FileHandle handle, uint64_t* size) = 0;

    /// CloseHandle.
    virtual bool Close(FileHandle handle) = 0;

    /// GetLastError: the code of the failure this object reported last.
    virtual uint32_t LastError() const = 0;
};

/// The running system's file calls.
FileApi& SystemFileApi();

}  // namespace orlup

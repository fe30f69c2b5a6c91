// The file calls that reading a flash image needs; one implementation per platform.
#pragma once

#include <cstdint>
#include <string>

#include "usb/DeviceFileApi.h"

namespace orlup {

class ImageFileApi {
public:
    virtual ~ImageFileApi() = default;

    /// CreateFileA with GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING: what is read afterwards
    /// is the file as it was opened, whatever other programs do to it. Only regular files
    /// open; anything else fails with ErrorCode::AccessDenied, and opening never blocks.
    virtual FileHandle OpenImage(const std::string& path) = 0;

    /// ReadFile: true with *read set (0 at the end of the file), false on failure.
    virtual bool Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) = 0;

    /// The whole 64-bit size, so that a caller can refuse what its size field cannot carry.
    virtual bool Size(FileHandle handle, uint64_t* size) = 0;

    /// CloseHandle.
    virtual bool Close(FileHandle handle) = 0;

    /// GetLastError: the code of the failure this object reported last.
    virtual uint32_t LastError() const = 0;
};

}  // namespace orlup

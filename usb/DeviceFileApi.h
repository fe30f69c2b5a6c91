// The kernel's calls that a printer port needs; one implementation per platform.
#pragma once

#include <cstdint>

#include "usb/UsbDevices.h"

namespace orlup {

/// A HANDLE on Windows, a file descriptor on Linux.
using FileHandle = std::intptr_t;
constexpr FileHandle InvalidFileHandle = -1;

class DeviceFileApi {
public:
    virtual ~DeviceFileApi() = default;

    /// An exclusive open of the device that the listing reported (CreateFileA with
    /// GENERIC_READ | GENERIC_WRITE, share mode 0, OPEN_EXISTING on Windows): a device open
    /// elsewhere, or no longer the device that was listed, fails.
    virtual FileHandle OpenDevice(const UsbDeviceRecord& device) = 0;

    /// WriteFile, synchronous. True with *written set (possibly below count) when the system
    /// took the call; false with LastError set when it failed.
    virtual bool Write(FileHandle handle, const void* bytes, uint32_t count,
                       uint32_t* written) = 0;

    /// CloseHandle.
    virtual bool Close(FileHandle handle) = 0;

    /// GetLastError: the code of the failure this object reported last.
    virtual uint32_t LastError() const = 0;
};

}  // namespace orlup

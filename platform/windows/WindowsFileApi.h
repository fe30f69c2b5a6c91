// The kernel file calls of Windows behind both file seams: printer ports and flash images.
#pragma once

#include <chrono>

#include "update/ImageFileApi.h"
#include "usb/DeviceFileApi.h"

namespace orlup {

class WindowsFileApi : public DeviceFileApi, public ImageFileApi {
public:
    /// A printer write that has not completed after writeLimit fails with ERROR_TIMEOUT; one
    /// under way or begun after InterruptWrites, with ERROR_OPERATION_ABORTED.
    explicit WindowsFileApi(std::chrono::milliseconds writeLimit = std::chrono::seconds(10));

    /// CreateFileA of the device interface path with share mode 0: a printer that another
    /// program holds fails to open, which is how the search leaves busy printers out.
    FileHandle OpenDevice(const UsbDeviceRecord& device) override;
    FileHandle OpenImage(const std::string& path) override;
    bool Write(FileHandle handle, const void* bytes, uint32_t count, uint32_t* written) override;
    bool Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
    bool Size(FileHandle handle, uint64_t* size) override;
    bool Close(FileHandle handle) override;
    uint32_t LastError() const override { return lastError_; }

private:
    bool Fail();

    std::chrono::milliseconds writeLimit_;
    uint32_t lastError_ = 0;
};

}  // namespace orlup

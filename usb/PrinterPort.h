// One USB printer, opened exclusively as the device listing reported it.
#pragma once

#include <cstdint>
#include <string>

#include "usb/DeviceFileApi.h"
#include "usb/UsbDevices.h"

namespace orlup {

class PrinterPort {
public:
    /// Opens the device at once; the port comes out open, or closed with the failure recorded.
    PrinterPort(DeviceFileApi& files, const UsbDeviceRecord& device, int position);
    virtual ~PrinterPort();

    // A port owns its handle, so it moves and is never copied: a copy would close it twice.
    PrinterPort(PrinterPort&& other) noexcept;
    PrinterPort& operator=(PrinterPort&& other) noexcept;
    PrinterPort(const PrinterPort&) = delete;
    PrinterPort& operator=(const PrinterPort&) = delete;

    /// 1 when the port is open afterwards; an open port is never opened twice.
    int Open();
    /// 1 when the system took every byte; a short write fails with ErrorCode::WriteFault.
    int Write(const void* bytes, uint32_t count);
    /// 1 when the port is closed afterwards, 0 when the system refused to close it.
    int Close();
    /// Forgets a handle whose close failed without closing it again: on Linux the number is
    /// released even then, and may already belong to another file.
    void Abandon();

    FileHandle handle() const { return handle_; }
    uint32_t lastError() const { return lastError_; }
    const std::string& devicePath() const { return device_.devicePath; }
    const UsbDeviceRecord& device() const { return device_; }
    /// "USBPRINT-<position in the enumeration>".
    const std::string& name() const { return name_; }
    /// The error text of lastError; empty until the first failure.
    const std::string& errorText() const { return errorText_; }
    int isOpen() const { return isOpen_; }

private:
    void RecordError(uint32_t code);

    DeviceFileApi* files_;
    FileHandle handle_ = InvalidFileHandle;
    uint32_t lastError_ = 0;
    UsbDeviceRecord device_;
    std::string name_;
    std::string errorText_;
    int isOpen_ = 0;
};

}  // namespace orlup

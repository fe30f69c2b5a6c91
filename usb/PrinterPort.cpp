// A printer port: exclusive open, synchronous writes, and the error text of its last failure.
#include "usb/PrinterPort.h"

#include <utility>

#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"

namespace orlup {

PrinterPort::PrinterPort(DeviceFileApi& files, const UsbDeviceRecord& device, int position)
    : files_(&files), device_(device), name_(FormatText("USBPRINT-%d", position)) {
    Open();
}

PrinterPort::~PrinterPort() {
    if (handle_ != InvalidFileHandle && isOpen_) files_->Close(handle_);
}

PrinterPort::PrinterPort(PrinterPort&& other) noexcept
    : files_(other.files_),
      handle_(std::exchange(other.handle_, InvalidFileHandle)),
      lastError_(other.lastError_),
      device_(std::move(other.device_)),
      name_(std::move(other.name_)),
      errorText_(std::move(other.errorText_)),
      isOpen_(std::exchange(other.isOpen_, 0)) {}

PrinterPort& PrinterPort::operator=(PrinterPort&& other) noexcept {
    if (this != &other) {
        if (handle_ != InvalidFileHandle && isOpen_) files_->Close(handle_);
        files_ = other.files_;
        handle_ = std::exchange(other.handle_, InvalidFileHandle);
        lastError_ = other.lastError_;
        device_ = std::move(other.device_);
        name_ = std::move(other.name_);
        errorText_ = std::move(other.errorText_);
        isOpen_ = std::exchange(other.isOpen_, 0);
    }
    return *this;
}

int PrinterPort::Open() {
    if (isOpen_) return 1;
    handle_ = files_->OpenDevice(device_);
    if (handle_ == InvalidFileHandle) {
        RecordError(files_->LastError());
        return 0;
    }
    isOpen_ = 1;
    return 1;
}

int PrinterPort::Write(const void* bytes, uint32_t count) {
    uint32_t written;  // set whenever the call succeeds
    if (!files_->Write(handle_, bytes, count, &written)) {
        RecordError(files_->LastError());
        return 0;
    }
    if (written != count) {
        RecordError(ErrorCode::WriteFault);
        return 0;
    }
    return 1;
}

int PrinterPort::Close() {
    if (!isOpen_) return 1;
    if (!files_->Close(handle_)) return 0;
    isOpen_ = 0;
    handle_ = InvalidFileHandle;
    return 1;
}

void PrinterPort::Abandon() {
    isOpen_ = 0;
    handle_ = InvalidFileHandle;
}

void PrinterPort::RecordError(uint32_t code) {
    lastError_ = code;
    errorText_ = ErrorText(code);
}

}  // namespace orlup

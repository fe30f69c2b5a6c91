// Printer ports over the kernel's usblp nodes: exclusive, checked, blocking writes.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>

#include "usb/DeviceFileApi.h"

namespace orlup {

/// One object per writing thread: it keeps the last error and its open printers unguarded.
class UsblpDeviceFiles : public DeviceFileApi {
public:
    using Clock = std::chrono::steady_clock;

    /// The root is a parameter so that tests can lay out a fake sysfs.
    explicit UsblpDeviceFiles(std::string sysfsRoot = "/sys",
                              std::chrono::milliseconds writeTimeout = std::chrono::seconds(10));

    /// Opens the device's node only once sysfs shows it to be usblp's node of the very USB
    /// device that was listed (ids, port and serial), and proves the same again from the open
    /// descriptor; a node that now belongs to another device or driver fails with
    /// ErrorCode::DeviceNotConnected. The descriptor is never 0-2.
    FileHandle OpenDevice(const UsbDeviceRecord& device) override;
    /// Writes every byte, each transfer confirmed by the device, or fails; it fails with
    /// ErrorCode::Timeout when the device takes nothing for the write timeout, since usblp
    /// itself never gives up, and with ErrorCode::OperationAborted at once when an interruption
    /// was requested (Interruption.h) or a stop cut the write short.
    bool Write(FileHandle handle, const void* bytes, uint32_t count, uint32_t* written) override;
    bool Close(FileHandle handle) override;
    uint32_t LastError() const override { return lastError_; }

private:
    struct DeviceNode {
        std::string path;
        dev_t device;
    };

    FileHandle FailOpen(uint32_t code);
    bool IsListedDevice(const struct stat& node, const UsbDeviceRecord& device) const;
    uint32_t WriteAll(int fd, const uint8_t* bytes, uint32_t count, uint32_t* written);
    uint32_t WriteErrorCode(int fd, int errnoValue) const;
    bool HasVanished(const DeviceNode& node) const;

    std::string sysfsRoot_;
    std::chrono::milliseconds writeTimeout_;
    std::map<int, DeviceNode> deviceNodes_;  // the printers this object opened, by fd
    uint32_t lastError_ = 0;
};

}  // namespace orlup

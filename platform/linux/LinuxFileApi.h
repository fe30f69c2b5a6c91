// The file calls over Linux syscalls: usblp device nodes for printers, regular files for images.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>

#include "platform/FileApi.h"

namespace orlup {

class LinuxFileApi : public FileApi {
public:
    using Clock = std::chrono::steady_clock;

    /// The roots are parameters so that tests can lay out a fake sysfs and device folder.
    explicit LinuxFileApi(std::string sysfsRoot = "/sys", std::string devRoot = "/dev",
                          std::chrono::milliseconds writeTimeout = std::chrono::seconds(10));

    FileHandle OpenDevice(const std::string& devicePath) override;
    FileHandle OpenImage(const std::string& path) override;
    /// Writes every byte, each transfer confirmed by the device, or fails; it fails with
    /// ErrorCode::Timeout when the device takes nothing for the write timeout, since usblp
    /// itself never gives up.
    bool Write(FileHandle handle, const void* bytes, uint32_t count, uint32_t* written) override;
    bool Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
    bool Size(FileHandle handle, uint64_t* size) override;
    bool Close(FileHandle handle) override;
    uint32_t LastError() const override { return lastError_; }

private:
    struct DeviceNode {
        std::string path;
        dev_t device;
    };

    bool Fail(uint32_t code);
    FileHandle FailOpen(uint32_t code);
    uint32_t WriteAll(int fd, const uint8_t* bytes, uint32_t count, uint32_t* written);
    uint32_t WriteErrorCode(int fd, int errnoValue) const;
    bool HasVanished(const DeviceNode& node) const;

    std::string sysfsRoot_;
    std::string devRoot_;
    std::chrono::milliseconds writeTimeout_;
    std::map<int, DeviceNode> deviceNodes_;  // the printers this object opened, by fd
    uint32_t lastError_ = 0;
};

}  // namespace orlup

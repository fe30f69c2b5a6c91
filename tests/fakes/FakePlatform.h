// Scripted USB devices, device files and in-memory images behind the platform's seams.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "update/FlashUpdate.h"
#include "update/ImageFileApi.h"
#include "usb/DeviceFileApi.h"
#include "usb/UsbDevices.h"

namespace orlup::test {

struct FakeDevice {
    UsbDeviceRecord record;
    uint32_t openError = 0;  // nonzero: every open fails with it
    std::vector<uint8_t> received;
    int writeCalls = 0;
    // Scripted trouble on the write call with this 0-based number (-1: none).
    int failWriteCall = -1;
    uint32_t writeError = 0;  // the failure's code; 0 with shortBy > 0 means a short write
    uint32_t shortBy = 0;
    int opens = 0;          // attempts, failed ones included
    int failOpenCall = -1;  // 0-based open attempt that fails with failOpenError
    uint32_t failOpenError = 0;
    int closes = 0;
    bool closeFails = false;                  // every close fails and leaves the handle open
    std::chrono::milliseconds writeDelay{0};  // each write waits that long, as a full queue does

    void FailWrite(int call, uint32_t code, uint32_t shortCount = 0) {
        failWriteCall = call, writeError = code, shortBy = shortCount;
    }
    void FailOpen(int call, uint32_t code) { failOpenCall = call, failOpenError = code; }
};

struct FakeImage {
    std::vector<uint8_t> bytes;
    uint32_t openError = 0;
    uint32_t sizeError = 0;     // the size query fails with this code
    uint64_t reportedSize = 0;  // nonzero: the size query reports this instead of bytes.size()
    int failReadCall = -1;      // 0-based read call that fails with readError
    uint32_t readError = 0;
    uint32_t closeErrorCode = 0;  // the code LastError shows after the image is closed

    void FailRead(int call, uint32_t code) { failReadCall = call, readError = code; }
};

class FakePlatform : public UsbDeviceSource, public DeviceFileApi, public ImageFileApi {
public:
    /// A present device of that vendor and product, listed after the ones added before it.
    FakeDevice& AddDevice(const std::string& devicePath, uint16_t vendorId = 0x044E,
                          uint16_t productId = 0x200A);
    FakeImage& AddImage(const std::string& path) { return images_[path]; }
    FakeDevice& Device(const std::string& devicePath) { return devices_.at(devicePath); }
    /// Handles currently open, devices and images alike.
    int OpenHandles() const { return static_cast<int>(open_.size()); }
    FlashSystem System() { return FlashSystem{*this, *this, *this}; }
    int listings = 0;
    /// Opens, writes and closes that succeeded, in order, so that tests can check the order of
    /// calls across seams.
    std::vector<std::string> log;
    /// Held by each call, so that threads can share the fake; a test that changes devices while
    /// threads run holds it too.
    std::mutex mutex;

    std::vector<UsbDeviceRecord> ListUsbDevices() override;

    FileHandle OpenDevice(const UsbDeviceRecord& device) override;
    FileHandle OpenImage(const std::string& path) override;
    bool Write(FileHandle handle, const void* bytes, uint32_t count, uint32_t* written) override;
    bool Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
    bool Size(FileHandle handle, uint64_t* size) override;
    bool Close(FileHandle handle) override;
    uint32_t LastError() const override { return lastError_; }

private:
    struct OpenFile {
        std::string path;
        bool isDevice = false;
        uint64_t offset = 0;
        int reads = 0;
    };
    OpenFile* Find(FileHandle handle, bool device) {
        const auto file = open_.find(handle);
        return file != open_.end() && file->second.isDevice == device ? &file->second : nullptr;
    }
    bool Fail(uint32_t code) { return lastError_ = code, false; }
    FileHandle FailOpen(uint32_t code) { return lastError_ = code, InvalidFileHandle; }

    std::map<std::string, FakeDevice> devices_;
    std::vector<std::string> order_;
    std::map<std::string, FakeImage> images_;
    std::map<FileHandle, OpenFile> open_;
    FileHandle nextHandle_ = 100;
    static thread_local uint32_t lastError_;  // each thread's own, as the system's is
};

}  // namespace orlup::test

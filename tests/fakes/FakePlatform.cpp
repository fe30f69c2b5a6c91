// Scripted USB devices, device files and in-memory images.
#include "fakes/FakePlatform.h"

#include <algorithm>
#include <thread>

#include "text/ErrorCodes.h"

namespace orlup::test {

thread_local uint32_t FakePlatform::lastError_ = 0;

FakeDevice& FakePlatform::AddDevice(const std::string& devicePath, uint16_t vendorId,
                                    uint16_t productId) {
    if (devices_.count(devicePath) == 0) order_.push_back(devicePath);
    FakeDevice& device = devices_[devicePath];
    device.record = {devicePath, "", vendorId, productId, "", "", ""};
    return device;
}

std::vector<UsbDeviceRecord> FakePlatform::ListUsbDevices() {
    const std::lock_guard<std::mutex> hold(mutex);
    ++listings;
    std::vector<UsbDeviceRecord> records;
    for (const std::string& path : order_) records.push_back(devices_.at(path).record);
    return records;
}

FileHandle FakePlatform::OpenDevice(const UsbDeviceRecord& record) {
    const std::lock_guard<std::mutex> hold(mutex);
    const auto found = devices_.find(record.devicePath);
    if (found == devices_.end()) return FailOpen(ErrorCode::FileNotFound);
    FakeDevice& device = found->second;
    if (device.openError != 0) return FailOpen(device.openError);
    for (const auto& [handle, file] : open_)
        if (file.isDevice && file.path == record.devicePath) return FailOpen(ErrorCode::Busy);
    if (device.opens++ == device.failOpenCall) return FailOpen(device.failOpenError);
    log.push_back("open device " + record.devicePath);
    open_[nextHandle_] = OpenFile{record.devicePath, true};
    return nextHandle_++;
}

FileHandle FakePlatform::OpenImage(const std::string& path) {
    const std::lock_guard<std::mutex> hold(mutex);
    const auto image = images_.find(path);
    if (image == images_.end()) return FailOpen(ErrorCode::FileNotFound);
    if (image->second.openError != 0) return FailOpen(image->second.openError);
    log.push_back("open image");
    open_[nextHandle_] = OpenFile{path, false};
    return nextHandle_++;
}

bool FakePlatform::Write(FileHandle handle, const void* bytes, uint32_t count, uint32_t* written) {
    std::unique_lock<std::mutex> hold(mutex);
    *written = 0;
    OpenFile* file = Find(handle, true);
    if (file == nullptr) return Fail(ErrorCode::InvalidHandle);
    FakeDevice& device = devices_.at(file->path);
    const bool scripted = device.writeCalls++ == device.failWriteCall;
    if (scripted && device.writeError != 0) return Fail(device.writeError);
    *written = scripted ? count - std::min(count, device.shortBy) : count;
    hold.unlock();  // a full queue holds up its own writer only
    std::this_thread::sleep_for(device.writeDelay);
    hold.lock();
    const auto* data = static_cast<const uint8_t*>(bytes);
    device.received.insert(device.received.end(), data, data + *written);
    log.push_back("write " + std::to_string(count));
    return true;
}

bool FakePlatform::Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    const std::lock_guard<std::mutex> hold(mutex);
    *read = 0;
    OpenFile* file = Find(handle, false);
    if (file == nullptr) return Fail(ErrorCode::InvalidHandle);
    FakeImage& image = images_.at(file->path);
    if (file->reads++ == image.failReadCall) return Fail(image.readError);
    // Never past the end.
    *read = static_cast<uint32_t>(std::min<uint64_t>(count, image.bytes.size() - file->offset));
    std::copy_n(image.bytes.begin() + file->offset, *read, static_cast<uint8_t*>(buffer));
    file->offset += *read;
    return true;
}

bool FakePlatform::Size(FileHandle handle, uint64_t* size) {
    const std::lock_guard<std::mutex> hold(mutex);
    const OpenFile* file = Find(handle, false);
    if (file == nullptr) return Fail(ErrorCode::InvalidHandle);
    const FakeImage& image = images_.at(file->path);
    if (image.sizeError != 0) return Fail(image.sizeError);
    *size = image.reportedSize != 0 ? image.reportedSize : image.bytes.size();
    return true;
}

bool FakePlatform::Close(FileHandle handle) {
    const std::lock_guard<std::mutex> hold(mutex);
    const auto file = open_.find(handle);
    if (file == open_.end()) return Fail(ErrorCode::InvalidHandle);
    if (file->second.isDevice) {
        FakeDevice& device = devices_.at(file->second.path);
        ++device.closes;
        if (device.closeFails) return Fail(ErrorCode::InvalidHandle);
        log.push_back("close device " + file->second.path);
    } else {
        // Closing leaves a code of its own behind, as a real close may.
        lastError_ = images_.at(file->second.path).closeErrorCode;
        log.push_back("close image");
    }
    open_.erase(file);
    return true;
}

}  // namespace orlup::test

// The kernel file calls of Windows behind both file seams: printer ports and flash images.
#include "platform/windows/WindowsFileApi.h"

#include <windows.h>

namespace orlup {
namespace {

HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }
FileHandle FromHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

/// Closes a handle that is not handed out, unless Release() says it was.
class HandleGuard {
public:
    explicit HandleGuard(HANDLE handle) : handle_(handle) {}
    ~HandleGuard() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE handle_;
};

}  // namespace

FileHandle WindowsFileApi::OpenDevice(const UsbDeviceRecord& device) {
    HANDLE handle = CreateFileA(device.devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) lastError_ = GetLastError();
    return FromHandle(handle);
}

FileHandle WindowsFileApi::OpenImage(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lastError_ = GetLastError();
        return InvalidFileHandle;
    }
    HandleGuard guard(handle);
    // A pipe or a device would feed the printer whatever it produces, or block the
    // user-interface thread on a read: only a file on a disk is an image.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        lastError_ = ERROR_ACCESS_DENIED;
        return InvalidFileHandle;
    }
    return FromHandle(guard.Release());
}

bool WindowsFileApi::Write(FileHandle handle, const void* bytes, uint32_t count,
                           uint32_t* written) {
    DWORD done = 0;
    if (!WriteFile(ToHandle(handle), bytes, count, &done, nullptr)) return Fail();
    *written = done;
    return true;
}

bool WindowsFileApi::Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    DWORD done = 0;
    if (!ReadFile(ToHandle(handle), buffer, count, &done, nullptr)) return Fail();
    *read = done;
    return true;
}

bool WindowsFileApi::Size(FileHandle handle, uint64_t* size) {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(ToHandle(handle), &value)) return Fail();
    *size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

bool WindowsFileApi::Close(FileHandle handle) {
    if (!CloseHandle(ToHandle(handle))) return Fail();
    return true;
}

bool WindowsFileApi::Fail() {
    lastError_ = GetLastError();
    return false;
}

}  // namespace orlup

// The kernel file calls of Windows behind both file seams: printer ports and flash images.
#include "platform/windows/WindowsFileApi.h"

#include <windows.h>

#include "platform/windows/UniqueHandle.h"
#include "platform/windows/WriteWatchdog.h"

namespace orlup {
namespace {

HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }
FileHandle FromHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

}  // namespace

WindowsFileApi::WindowsFileApi(std::chrono::milliseconds writeLimit) : writeLimit_(writeLimit) {}

FileHandle WindowsFileApi::OpenDevice(const UsbDeviceRecord& device) {
    HANDLE handle = CreateFileA(device.devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) lastError_ = GetLastError();
    return FromHandle(handle);
}

FileHandle WindowsFileApi::OpenImage(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lastError_ = GetLastError();
        return InvalidFileHandle;
    }
    UniqueHandle image(handle);
    // A pipe or a device would feed the printer whatever it produces, or block the
    // user-interface thread on a read: only a file on a disk is an image.
    if (GetFileType(image.Get()) != FILE_TYPE_DISK) {
        lastError_ = ERROR_ACCESS_DENIED;
        return InvalidFileHandle;
    }
    return FromHandle(image.Release());
}

bool WindowsFileApi::Write(FileHandle handle, const void* bytes, uint32_t count,
                           uint32_t* written) {
    // The program is ending: a piece begun now could be cut anywhere.
    if (WritesInterrupted()) {
        lastError_ = ERROR_OPERATION_ABORTED;
        return false;
    }
    WriteWatchdog watchdog(writeLimit_);
    if (!watchdog.IsArmed()) {
        lastError_ = watchdog.error();
        return false;
    }
    DWORD done = 0;
    if (!WriteFile(ToHandle(handle), bytes, count, &done, nullptr)) {
        const DWORD error = GetLastError();
        // Nothing but the watchdog cancels this thread's I/O. Part of the piece may have reached
        // the printer, so the transfer cannot go on.
        const bool timedOut = watchdog.HasFired() && !watchdog.WasInterrupted();
        lastError_ = error == ERROR_OPERATION_ABORTED && timedOut ? ERROR_TIMEOUT : error;
        return false;
    }
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

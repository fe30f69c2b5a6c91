// The file calls over Linux syscalls: usblp device nodes for printers, regular files for images.
#include "platform/linux/LinuxFileApi.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <thread>

#include "platform/ErrorCodes.h"
#include "platform/linux/LinuxErrors.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/WriteWatchdog.h"

namespace orlup {

namespace {

// An unplugged printer first fails its writes with EIO and only later with ENODEV, once the
// kernel has taken the device away; waiting this long at most tells the two causes apart.
constexpr std::chrono::milliseconds unplugGrace{2000};

bool ToFd(FileHandle handle, int* fd) {
    if (handle < 0 || handle > INT_MAX) {
        return false;
    }
    *fd = static_cast<int>(handle);
    return true;
}

uint32_t LastErrnoCode() { return ErrorCodeFromErrno(errno); }

// A path that exists but cannot be opened as a file (a socket, a device without its device)
// is refused like any other file that is not a regular one.
uint32_t ImageOpenError(const std::string& path, int errnoValue) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        return ErrorCode::AccessDenied;
    }
    return ErrorCodeFromErrno(errnoValue);
}

}  // namespace

LinuxFileApi::LinuxFileApi(std::string sysfsRoot, std::string devRoot,
                           std::chrono::milliseconds writeTimeout)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)), writeTimeout_(writeTimeout) {}

bool LinuxFileApi::Fail(uint32_t code) {
    lastError_ = code;
    return false;
}

FileHandle LinuxFileApi::FailOpen(uint32_t code) {
    lastError_ = code;
    return InvalidFileHandle;
}

FileHandle LinuxFileApi::OpenDevice(const std::string& devicePath) {
    std::string node;
    const uint32_t resolveError = ResolveDeviceNode(devicePath, &node, sysfsRoot_, devRoot_);
    if (resolveError != ErrorCode::Success) {
        return FailOpen(resolveError);
    }
    // The open itself must not wait for the device; a device is never to become this process's
    // controlling terminal.
    UniqueFd fd(open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.IsValid()) {
        return FailOpen(LastErrnoCode());
    }
    // usblp already refuses a second open with EBUSY; the lock keeps the open exclusive on
    // nodes whose driver does not.
    struct stat status {};
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || fstat(fd.Get(), &status) != 0) {
        return FailOpen(LastErrnoCode());
    }
    // Opened without blocking, written with: see WriteAll.
    const int flags = fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return FailOpen(LastErrnoCode());
    }
    deviceNodes_[fd.Get()] = DeviceNode{node, status.st_rdev};
    return fd.Release();
}

FileHandle LinuxFileApi::OpenImage(const std::string& path) {
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid()) {
        const int openErrno = errno;
        return FailOpen(ImageOpenError(path, openErrno));
    }
    struct stat status {};
    if (fstat(fd.Get(), &status) != 0) {
        return FailOpen(LastErrnoCode());
    }
    if (!S_ISREG(status.st_mode)) {
        return FailOpen(ErrorCode::AccessDenied);
    }
    const int flags = fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return FailOpen(LastErrnoCode());
    }
    return fd.Release();
}

bool LinuxFileApi::Write(FileHandle handle, const void* bytes, uint32_t count, uint32_t* written) {
    uint32_t done = 0;
    int fd = -1;
    const uint32_t error = ToFd(handle, &fd)
                               ? WriteAll(fd, static_cast<const uint8_t*>(bytes), count, &done)
                               : ErrorCode::InvalidHandle;
    if (written != nullptr) {
        *written = done;
    }
    return error == ErrorCode::Success || Fail(error);
}

// usblp tells a failed transfer only to a blocking writer: a non-blocking write counts a piece
// as written the moment it is queued, and a failure of that piece is lost. So the printer is
// written in blocking mode, one transfer at a time, and a watchdog ends a wait without progress.
uint32_t LinuxFileApi::WriteAll(int fd, const uint8_t* bytes, uint32_t count, uint32_t* written) {
    WriteWatchdog watchdog(writeTimeout_);
    if (!watchdog.IsArmed()) {
        return LastErrnoCode();
    }
    while (*written < count) {
        const ssize_t taken = write(fd, bytes + *written, count - *written);
        if (taken > 0) {
            *written += static_cast<uint32_t>(taken);
            watchdog.Restart();
            continue;
        }
        if (taken == 0) {
            return ErrorCode::Success;  // a short count, which the port reports as a write fault
        }
        // Only the watchdog's signal can interrupt the write. The piece in flight may still be
        // delivered, so it is never sent again.
        if (errno == EINTR) {
            return ErrorCode::Timeout;
        }
        return WriteErrorCode(fd, errno);
    }
    return ErrorCode::Success;
}

uint32_t LinuxFileApi::WriteErrorCode(int fd, int errnoValue) const {
    const auto node = deviceNodes_.find(fd);
    if (errnoValue == EIO && node != deviceNodes_.end() && HasVanished(node->second)) {
        return ErrorCode::DeviceNotConnected;
    }
    return ErrorCodeFromErrno(errnoValue);
}

// The node goes, or comes back for another device, when the kernel removes the printer.
bool LinuxFileApi::HasVanished(const DeviceNode& node) const {
    const Clock::time_point giveUp = Clock::now() + std::min(writeTimeout_, unplugGrace);
    for (;;) {
        struct stat status {};
        if (stat(node.path.c_str(), &status) != 0 || status.st_rdev != node.device) {
            return true;
        }
        if (Clock::now() >= giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool LinuxFileApi::Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    int fd = -1;
    if (!ToFd(handle, &fd)) {
        return Fail(ErrorCode::InvalidHandle);
    }
    ssize_t length;
    do {
        length = ::read(fd, buffer, count);
    } while (length < 0 && errno == EINTR);
    if (length < 0) {
        return Fail(LastErrnoCode());
    }
    *read = static_cast<uint32_t>(length);
    return true;
}

bool LinuxFileApi::Size(FileHandle handle, uint64_t* size) {
    int fd = -1;
    struct stat status {};
    if (!ToFd(handle, &fd)) {
        return Fail(ErrorCode::InvalidHandle);
    }
    if (fstat(fd, &status) != 0) {
        return Fail(LastErrnoCode());
    }
    *size = static_cast<uint64_t>(status.st_size);
    return true;
}

// Linux releases the descriptor whatever close() reports, EINTR included; only a descriptor
// that was not open fails, so that the caller never closes a reused number a second time.
bool LinuxFileApi::Close(FileHandle handle) {
    int fd = -1;
    if (!ToFd(handle, &fd)) {
        return Fail(ErrorCode::InvalidHandle);
    }
    const bool closed = close(fd) == 0 || errno != EBADF;
    deviceNodes_.erase(fd);
    return closed || Fail(ErrorCode::InvalidHandle);
}

FileApi& SystemFileApi() {
    static LinuxFileApi files;
    return files;
}

}  // namespace orlup

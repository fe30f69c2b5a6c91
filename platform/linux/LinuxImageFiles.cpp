// Flash images as Linux reads them: regular files only, opened without ever blocking.
#include "platform/linux/LinuxImageFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/LinuxErrors.h"
#include "platform/linux/UniqueFd.h"
#include "text/ErrorCodes.h"

namespace orlup {

namespace {

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

bool LinuxImageFiles::Fail(uint32_t code) {
    lastError_ = code;
    return false;
}

FileHandle LinuxImageFiles::OpenImage(const std::string& path) {
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.IsValid()) {
        Fail(ImageOpenError(path, errno));
        return InvalidFileHandle;
    }
    struct stat status {};
    const int flags = fcntl(fd.Get(), F_GETFL);
    if (fstat(fd.Get(), &status) != 0 || flags < 0 ||
        fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Fail(LastErrnoCode());
        return InvalidFileHandle;
    }
    if (!S_ISREG(status.st_mode)) {
        Fail(ErrorCode::AccessDenied);
        return InvalidFileHandle;
    }
    return fd.Release();
}

bool LinuxImageFiles::Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    int fd = -1;
    if (!ToFd(handle, &fd)) return Fail(ErrorCode::InvalidHandle);
    ssize_t length;
    do {
        length = ::read(fd, buffer, count);
    } while (length < 0 && errno == EINTR);
    if (length < 0) return Fail(LastErrnoCode());
    *read = static_cast<uint32_t>(length);
    return true;
}

bool LinuxImageFiles::Size(FileHandle handle, uint64_t* size) {
    int fd = -1;
    struct stat status {};
    if (!ToFd(handle, &fd)) return Fail(ErrorCode::InvalidHandle);
    if (fstat(fd, &status) != 0) return Fail(LastErrnoCode());
    *size = static_cast<uint64_t>(status.st_size);
    return true;
}

// Linux releases the descriptor whatever close() reports; only one that was not open fails.
bool LinuxImageFiles::Close(FileHandle handle) {
    int fd = -1;
    if (!ToFd(handle, &fd) || (close(fd) != 0 && errno == EBADF)) {
        return Fail(ErrorCode::InvalidHandle);
    }
    return true;
}

}  // namespace orlup

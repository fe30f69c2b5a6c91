// errno mapped into the Windows code space once, at the lowest layer, and our own descriptions.
#include "platform/linux/LinuxErrors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "text/ErrorCodes.h"

namespace orlup {

namespace {

struct ErrnoMapping {
    int errnoValue;
    uint32_t code;
};

constexpr ErrnoMapping errnoMappings[] = {
    {ENOENT, ErrorCode::FileNotFound},
    {ENOTDIR, ErrorCode::PathNotFound},
    {ELOOP, ErrorCode::CantResolveFilename},
    {EMFILE, ErrorCode::TooManyOpenFiles},
    {ENFILE, ErrorCode::TooManyOpenFiles},
    {EACCES, ErrorCode::AccessDenied},
    {EPERM, ErrorCode::AccessDenied},
    {EISDIR, ErrorCode::AccessDenied},  // Windows refuses to open a folder as a file this way
    {EROFS, ErrorCode::AccessDenied},
    {EBADF, ErrorCode::InvalidHandle},
    {ENOMEM, ErrorCode::NotEnoughMemory},
    {ENOSPC, ErrorCode::WriteFault},  // usblp's "paper out" when the printer aborts on it
    {EIO, ErrorCode::GenFailure},
    {EPROTO, ErrorCode::GenFailure},  // a USB protocol error: the device misbehaved
    {ETXTBSY, ErrorCode::SharingViolation},
    {ENOTSUP, ErrorCode::InvalidFunction},
    {ENOTTY, ErrorCode::InvalidFunction},  // the request does not apply to this kind of file
    {EINVAL, ErrorCode::InvalidParameter},
    {EFAULT, ErrorCode::InvalidParameter},  // a bad buffer address is a bad argument too
    {EBUSY, ErrorCode::Busy},
    {EAGAIN, ErrorCode::Busy},  // also flock's answer when another program holds the device
    {ENAMETOOLONG, ErrorCode::FilenameExcedRange},
    {EFBIG, ErrorCode::FileTooLarge},
    {EOVERFLOW, ErrorCode::FileTooLarge},
    {EINTR, ErrorCode::OperationAborted},  // a signal cut the call short
    {ECANCELED, ErrorCode::OperationAborted},
    {ENODEV, ErrorCode::DeviceNotConnected},  // usblp once the printer is unplugged
    {ENXIO, ErrorCode::DeviceNotConnected},   // a device node whose device has gone
    {ESHUTDOWN, ErrorCode::DeviceNotConnected},
    {EPIPE, ErrorCode::DeviceNotConnected},  // the other end of the connection is gone
    {ETIMEDOUT, ErrorCode::Timeout},
};

/// For codes that carry an errno we have no Windows code for.
std::string ErrnoDescription(uint32_t code) {
    const int errnoValue = static_cast<int>(code & ~ErrnoCodeBit);
    const char* name = strerrorname_np(errnoValue);
    if (name == nullptr) {
        return "";
    }
    return std::string("The system reported the error ") + name + ".";
}

std::string DescriptionOf(uint32_t code) {
    for (const ErrorCodeInfo& info : ErrorCodeTable) {
        if (info.code == code) {
            return info.ownText;
        }
    }
    if ((code & ErrnoCodeBit) != 0) {
        return ErrnoDescription(code);
    }
    return "";
}

}  // namespace

uint32_t ErrorCodeFromErrno(int errnoValue) {
    if (errnoValue == 0) {
        return ErrorCode::Success;
    }
    for (const ErrnoMapping& mapping : errnoMappings) {
        if (mapping.errnoValue == errnoValue) {
            return mapping.code;
        }
    }
    return ErrnoCodeBit | static_cast<uint32_t>(errnoValue);
}

uint32_t FileErrorFromErrno(int errnoValue) {
    if (errnoValue == ENOSPC || errnoValue == EDQUOT) return ErrorCode::DiskFull;
    return ErrorCodeFromErrno(errnoValue);
}

uint32_t SystemErrorDescription(uint32_t code, uint32_t /*languageId*/, char* buffer,
                                uint32_t bufferSize) {
    const std::string text = DescriptionOf(code);
    if (text.empty() || buffer == nullptr || bufferSize == 0 || text.size() > bufferSize - 1) {
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<uint32_t>(text.size());
}

uint32_t LastErrnoCode() { return ErrorCodeFromErrno(errno); }

}  // namespace orlup

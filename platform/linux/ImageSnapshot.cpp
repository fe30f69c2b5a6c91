// A private, unchangeable copy of a flash image, taken once and read by any number of threads.
#include "platform/linux/ImageSnapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/linux/FileWrites.h"
#include "platform/linux/LinuxErrors.h"
#include "platform/linux/PrivateFile.h"
#include "platform/linux/StandardDescriptors.h"
#include "text/ErrorCodes.h"

namespace orlup {

namespace {

// The one buffer of a copy, whatever the image's size; its halves serve the comparison.
constexpr std::size_t CopyBufferSize = 64 * 1024;

// Up to count bytes at offset, fewer only where the file ends; -1 with errno on failure.
ssize_t ReadFully(int fd, uint64_t offset, uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

// The image is looked at before it is opened: opening a device or a FIFO can have effects of
// its own, or never return.
UniqueFd OpenImageFile(const std::string& path, struct stat* status, uint32_t* error) {
    if (stat(path.c_str(), status) != 0) {
        *error = ErrorCodeFromErrno(errno);
        return UniqueFd();
    }
    if (!S_ISREG(status->st_mode)) {
        *error = ErrorCode::AccessDenied;
        return UniqueFd();
    }
    UniqueFd fd = AboveStandardDescriptors(
        UniqueFd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)));
    if (!fd.IsValid() || fstat(fd.Get(), status) != 0) {
        *error = ErrorCodeFromErrno(errno);
        return UniqueFd();
    }
    // The path may have been given to something else between the look and the open.
    if (!S_ISREG(status->st_mode)) {
        *error = ErrorCode::AccessDenied;
        return UniqueFd();
    }
    return fd;
}

bool Cancelled(const ImageSnapshot::TakeOptions& options) {
    return options.cancelled && options.cancelled();
}

uint32_t CopyPieces(int from, int to, uint64_t size, const ImageSnapshot::TakeOptions& options,
                    uint8_t* buffer) {
    for (uint64_t offset = 0; offset < size;) {
        if (Cancelled(options)) return ErrorCode::OperationAborted;
        const std::size_t piece =
            static_cast<std::size_t>(std::min<uint64_t>(CopyBufferSize, size - offset));
        const ssize_t got = ReadFully(from, offset, buffer, piece);
        if (got < 0) return ErrorCodeFromErrno(errno);
        if (static_cast<std::size_t>(got) != piece) return ErrorCode::SharingViolation;
        // The copy is new and written in order from its start, so its own offset is the piece's.
        if (const uint32_t error = WriteFully(to, buffer, piece); error != 0) return error;
        if (options.observer) options.observer(buffer, piece);
        offset += piece;
    }
    return ErrorCode::Success;
}

// File times may be as coarse as two seconds (FAT) and are set from a clock that stands still
// for milliseconds, so a rewrite during the copy need not show in them: the file is read a
// second time and must still hold what was copied.
uint32_t ComparePieces(int from, int to, uint64_t size, const ImageSnapshot::TakeOptions& options,
                       uint8_t* buffer) {
    constexpr std::size_t half = CopyBufferSize / 2;
    for (uint64_t offset = 0; offset < size;) {
        if (Cancelled(options)) return ErrorCode::OperationAborted;
        const std::size_t piece = static_cast<std::size_t>(std::min<uint64_t>(half, size - offset));
        const ssize_t original = ReadFully(from, offset, buffer, piece);
        if (original < 0) return ErrorCodeFromErrno(errno);
        const ssize_t copied = ReadFully(to, offset, buffer + half, piece);
        if (copied < 0) return ErrorCodeFromErrno(errno);
        if (static_cast<std::size_t>(original) != piece ||
            static_cast<std::size_t>(copied) != piece ||
            std::memcmp(buffer, buffer + half, piece) != 0) {
            return ErrorCode::SharingViolation;
        }
        offset += piece;
    }
    return ErrorCode::Success;
}

bool SameFileState(const struct stat& before, const struct stat& after) {
    return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == after.st_mtim.tv_nsec &&
           before.st_ctim.tv_sec == after.st_ctim.tv_sec &&
           before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

}  // namespace

uint32_t ImageSnapshot::Take(const std::string& path, const TakeOptions& options,
                             ImageSnapshot* out) {
    uint32_t error = ErrorCode::Success;
    struct stat before {};
    const UniqueFd image = OpenImageFile(path, &before, &error);
    if (!image.IsValid()) return error;
    const uint64_t size = static_cast<uint64_t>(before.st_size);
    out->fd_.Reset();
    out->size_ = size;
    // Copying gigabytes would take seconds and fill the temporary folder, often memory, to
    // learn nothing that the size has not told already.
    if (size > options.largest) return ErrorCode::Success;
    UniqueFd copy = CreatePrivateFile(options.withoutTmpfile, &out->problem_);
    if (!copy.IsValid()) return ErrorCode::NoPrivateCopy;

    std::vector<uint8_t> buffer(CopyBufferSize);
    error = CopyPieces(image.Get(), copy.Get(), size, options, buffer.data());
    if (error == ErrorCode::Success) {
        error = ComparePieces(image.Get(), copy.Get(), size, options, buffer.data());
    }
    // An fstat that fails leaves zeroes, which match no image's state.
    struct stat after {};
    if (error == ErrorCode::Success &&
        (fstat(image.Get(), &after) != 0 || !SameFileState(before, after))) {
        error = ErrorCode::SharingViolation;
    }
    if (error == ErrorCode::Success) out->fd_ = std::move(copy);
    return error;
}

bool ImageSnapshot::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* read) const {
    if (!copied()) {
        errno = EFBIG;
        return false;
    }
    const ssize_t got = ReadFully(fd_.Get(), offset, static_cast<uint8_t*>(buffer), count);
    if (got < 0) return false;
    *read = static_cast<uint32_t>(got);
    return true;
}

}  // namespace orlup

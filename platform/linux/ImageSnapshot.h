// A private, unchangeable copy of a flash image, taken once and read by any number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/linux/UniqueFd.h"

namespace orlup {

/// Linux lets any program change a file that another has open, so the image is copied once
/// into an unlinked temporary file that nobody else can reach, and every byte sent comes from
/// that copy.
class ImageSnapshot {
public:
    /// Sees every piece of the image in file order while it is copied; a failed Take may
    /// already have shown some, which then count for nothing.
    using PieceObserver = std::function<void(const uint8_t*, std::size_t)>;

    struct TakeOptions {
        /// A larger image cannot be sent whatever it holds: it is judged by its size alone,
        /// without a copy (FlashUpdate::LargestImage for the flash update).
        uint64_t largest = UINT64_MAX;
        PieceObserver observer;
        /// Asked between pieces of the copy; true ends Take with ErrorCode::OperationAborted.
        std::function<bool()> cancelled;
        /// Copies as where no temporary folder supports O_TMPFILE, for tests on a system where
        /// they all do.
        bool withoutTmpfile = false;
    };

    /// Copies the regular file at path and returns ErrorCode::Success with *out holding the
    /// copy, or the error: ErrorCode::AccessDenied for anything but a regular file,
    /// ErrorCode::SharingViolation when the file changed while it was copied,
    /// ErrorCode::DiskFull when the temporary folder has no room for it,
    /// ErrorCode::NoPrivateCopy when no temporary folder takes a file at all (problem() then
    /// says where and why). Tries $TMPDIR, /tmp and /var/tmp in turn. Never blocks on a FIFO
    /// or device.
    static uint32_t Take(const std::string& path, const TakeOptions& options, ImageSnapshot* out);

    /// -1 when nothing was copied.
    int fd() const { return fd_.Get(); }
    /// The image's size, copied or not.
    uint64_t size() const { return size_; }
    /// False for an image over TakeOptions::largest, which has only its size.
    bool copied() const { return fd_.IsValid(); }
    /// After ErrorCode::NoPrivateCopy: the folders tried and the last system error's text.
    const std::string& problem() const { return problem_; }

    /// Up to count bytes from offset, fewer only at the end; false with errno set when the
    /// system fails, EFBIG when nothing was copied. Safe to call from several threads at once.
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* read) const;

private:
    UniqueFd fd_;
    uint64_t size_ = 0;
    std::string problem_;
};

}  // namespace orlup

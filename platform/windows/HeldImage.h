// A flash image held open for the whole run, so that nothing can change it between its digest and
// the last byte sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/windows/UniqueHandle.h"
#include "update/ImageFileApi.h"

namespace orlup {

/// Windows refuses every writer, and deletion and renaming, while a file is open with
/// FILE_SHARE_READ alone: the image is opened once that way, read once for its digest, and every
/// transfer reads from that open file, so that what is sent is what was hashed.
class HeldImage {
public:
    /// Sees every piece of the image in file order while it is read.
    using PieceObserver = std::function<void(const uint8_t*, std::size_t)>;

    struct TakeOptions {
        /// An image larger than this is judged by its size alone: nothing is read or held.
        uint64_t largest = UINT64_MAX;
        PieceObserver observer;
        /// Asked between pieces; true ends the reading with ErrorCode::OperationAborted.
        std::function<bool()> cancelled;
    };

    /// Opens the file at the UTF-8 path and reads it: ErrorCode::Success with *out holding it,
    /// or the error, ErrorCode::SharingViolation when another program may write it and
    /// ErrorCode::AccessDenied for anything but a file on a disk (problem() then tells).
    static uint32_t Take(const std::string& path, const TakeOptions& options, HeldImage* out);

    uint64_t size() const { return size_; }
    /// Said of a refused image instead of its error code's text, or empty.
    const std::string& problem() const { return problem_; }

    /// Up to count bytes from offset, fewer only at the end; false with GetLastError set when the
    /// system fails. Safe from several threads at once: each read names its own offset.
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* read) const;

private:
    uint32_t ReadOnce(const TakeOptions& options);

    UniqueHandle file_;
    uint64_t size_ = 0;
    std::string problem_;
};

/// The held image as one transfer reads it: every open starts at the beginning, with an offset
/// of its own.
class HeldImageFiles : public ImageFileApi {
public:
    HeldImageFiles(std::string path, std::shared_ptr<const HeldImage> image);

    /// Opens the held image when path is its path; any other fails with ErrorCode::FileNotFound.
    FileHandle OpenImage(const std::string& path) override;
    bool Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
    bool Size(FileHandle handle, uint64_t* size) override;
    bool Close(FileHandle handle) override;
    uint32_t LastError() const override { return lastError_; }

private:
    bool Fail(uint32_t code);

    std::string path_;
    std::shared_ptr<const HeldImage> image_;
    std::map<FileHandle, uint64_t> offsets_;
    FileHandle nextHandle_ = 1;
    uint32_t lastError_ = 0;
};

}  // namespace orlup

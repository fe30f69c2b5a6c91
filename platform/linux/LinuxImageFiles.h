// Flash images as Linux reads them: regular files only, each read from its own snapshot.
#pragma once

#include <map>
#include <memory>

#include "platform/linux/ImageSnapshot.h"
#include "update/ImageFileApi.h"

namespace orlup {

/// Opening an image takes its snapshot (ImageSnapshot), so that what the transfer reads is
/// the file as it was opened, as Windows' read-only sharing guarantees there. An image too
/// large for the flash update is not copied: it opens with its size, and reading it fails with
/// ErrorCode::FileTooLarge.
class LinuxImageFiles : public ImageFileApi {
public:
    /// observer sees the bytes of every image as its snapshot is taken.
    explicit LinuxImageFiles(ImageSnapshot::PieceObserver observer = nullptr);
    /// Serves the image at takenPath from a snapshot already taken, which several transfers
    /// can share; any other path is snapshot when it is opened.
    LinuxImageFiles(std::string takenPath, std::shared_ptr<const ImageSnapshot> taken);

    /// From now on the image at path is served from taken, which was taken off this thread; or,
    /// where taking it failed with error, opening it fails so.
    void Serve(std::string path, std::shared_ptr<const ImageSnapshot> taken, uint32_t error = 0);

    FileHandle OpenImage(const std::string& path) override;
    bool Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
    bool Size(FileHandle handle, uint64_t* size) override;
    bool Close(FileHandle handle) override;
    uint32_t LastError() const override { return lastError_; }

private:
    struct OpenedImage {
        std::shared_ptr<const ImageSnapshot> snapshot;
        uint64_t offset = 0;
    };

    bool Fail(uint32_t code);
    OpenedImage* Find(FileHandle handle);

    ImageSnapshot::PieceObserver observer_;
    std::string takenPath_;
    std::shared_ptr<const ImageSnapshot> taken_;
    uint32_t takenError_ = 0;
    std::map<FileHandle, OpenedImage> images_;
    FileHandle nextHandle_ = 1;
    uint32_t lastError_ = 0;
};

}  // namespace orlup

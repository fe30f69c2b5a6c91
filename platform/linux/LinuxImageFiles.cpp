// Flash images as Linux reads them: regular files only, each read from its own snapshot.
#include "platform/linux/LinuxImageFiles.h"

#include <cerrno>

#include "platform/linux/LinuxErrors.h"
#include "text/ErrorCodes.h"
#include "update/FlashUpdate.h"

namespace orlup {

LinuxImageFiles::LinuxImageFiles(ImageSnapshot::PieceObserver observer)
    : observer_(std::move(observer)) {}

LinuxImageFiles::LinuxImageFiles(std::string takenPath, std::shared_ptr<const ImageSnapshot> taken)
    : takenPath_(std::move(takenPath)), taken_(std::move(taken)) {}

void LinuxImageFiles::Serve(std::string path, std::shared_ptr<const ImageSnapshot> taken,
                            uint32_t error) {
    takenPath_ = std::move(path);
    taken_ = std::move(taken);
    takenError_ = error;
}

bool LinuxImageFiles::Fail(uint32_t code) {
    lastError_ = code;
    return false;
}

LinuxImageFiles::OpenedImage* LinuxImageFiles::Find(FileHandle handle) {
    const auto image = images_.find(handle);
    return image != images_.end() ? &image->second : nullptr;
}

FileHandle LinuxImageFiles::OpenImage(const std::string& path) {
    OpenedImage image;
    if (takenError_ != 0 && path == takenPath_) {
        Fail(takenError_);
        return InvalidFileHandle;
    }
    if (taken_ != nullptr && path == takenPath_) {
        image.snapshot = taken_;
    } else {
        auto snapshot = std::make_shared<ImageSnapshot>();
        const uint32_t error = ImageSnapshot::Take(
            path, {FlashUpdate::LargestImage, observer_, nullptr}, snapshot.get());
        if (error != ErrorCode::Success) {
            Fail(error);
            return InvalidFileHandle;
        }
        image.snapshot = std::move(snapshot);
    }
    images_[nextHandle_] = std::move(image);
    return nextHandle_++;
}

bool LinuxImageFiles::Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    OpenedImage* image = Find(handle);
    if (image == nullptr) return Fail(ErrorCode::InvalidHandle);
    if (!image->snapshot->ReadAt(image->offset, buffer, count, read)) {
        return Fail(ErrorCodeFromErrno(errno));
    }
    image->offset += *read;
    return true;
}

bool LinuxImageFiles::Size(FileHandle handle, uint64_t* size) {
    const OpenedImage* image = Find(handle);
    if (image == nullptr) return Fail(ErrorCode::InvalidHandle);
    *size = image->snapshot->size();
    return true;
}

bool LinuxImageFiles::Close(FileHandle handle) {
    if (images_.erase(handle) == 0) return Fail(ErrorCode::InvalidHandle);
    return true;
}

}  // namespace orlup

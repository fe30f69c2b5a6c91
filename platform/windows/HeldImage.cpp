// A flash image held open for the whole run, so that nothing can change it between its digest and
// the last byte sent.
#include "platform/windows/HeldImage.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/windows/WideText.h"
#include "text/ErrorCodes.h"

namespace orlup {

namespace {
constexpr uint32_t PieceSize = 64 * 1024;
}  // namespace

uint32_t HeldImage::Take(const std::string& path, const TakeOptions& options, HeldImage* out) {
    const std::wstring widePath = WideFromUtf8(path);
    UniqueHandle file(CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return GetLastError();
    // A pipe or a device would feed the printer whatever it produces, and could block the read.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        out->problem_ = "the image must be a file on a disk, not a pipe or a device";
        return ErrorCode::AccessDenied;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return GetLastError();
    out->size_ = static_cast<uint64_t>(size.QuadPart);
    if (out->size_ > options.largest) return ErrorCode::Success;
    out->file_ = std::move(file);
    const uint32_t error = out->ReadOnce(options);
    if (error != ErrorCode::Success) out->file_.Reset();
    return error;
}

// Exactly size bytes: no writer can make the file longer or shorter while it is held.
uint32_t HeldImage::ReadOnce(const TakeOptions& options) {
    std::vector<uint8_t> piece(PieceSize);
    for (uint64_t offset = 0; offset < size_;) {
        if (options.cancelled && options.cancelled()) return ErrorCode::OperationAborted;
        const auto wanted = static_cast<uint32_t>(std::min<uint64_t>(size_ - offset, PieceSize));
        uint32_t count = 0;
        if (!ReadAt(offset, piece.data(), wanted, &count)) return GetLastError();
        if (count == 0) return ErrorCode::HandleEof;
        if (options.observer) options.observer(piece.data(), count);
        offset += count;
    }
    return ErrorCode::Success;
}

bool HeldImage::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* read) const {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    // On a handle opened without FILE_FLAG_OVERLAPPED the offset makes a synchronous positioned
    // read; the end of the file is a success with nothing read, or ERROR_HANDLE_EOF.
    if (!ReadFile(file_.Get(), buffer, count, &done, &at) && GetLastError() != ERROR_HANDLE_EOF) {
        return false;
    }
    *read = done;
    return true;
}

HeldImageFiles::HeldImageFiles(std::string path, std::shared_ptr<const HeldImage> image)
    : path_(std::move(path)), image_(std::move(image)) {}

FileHandle HeldImageFiles::OpenImage(const std::string& path) {
    if (image_ == nullptr || path != path_) {
        lastError_ = ErrorCode::FileNotFound;
        return InvalidFileHandle;
    }
    offsets_[nextHandle_] = 0;
    return nextHandle_++;
}

bool HeldImageFiles::Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    const auto open = offsets_.find(handle);
    if (open == offsets_.end()) return Fail(ErrorCode::InvalidHandle);
    if (!image_->ReadAt(open->second, buffer, count, read)) return Fail(GetLastError());
    open->second += *read;
    return true;
}

bool HeldImageFiles::Size(FileHandle handle, uint64_t* size) {
    if (offsets_.count(handle) == 0) return Fail(ErrorCode::InvalidHandle);
    *size = image_->size();
    return true;
}

bool HeldImageFiles::Close(FileHandle handle) {
    return offsets_.erase(handle) != 0 || Fail(ErrorCode::InvalidHandle);
}

bool HeldImageFiles::Fail(uint32_t code) {
    lastError_ = code;
    return false;
}

}  // namespace orlup

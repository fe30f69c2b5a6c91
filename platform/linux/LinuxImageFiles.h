// Flash images as Linux reads them: regular files only, opened without ever blocking.
#pragma once

#include "update/ImageFileApi.h"

namespace orlup {

class LinuxImageFiles : public ImageFileApi {
public:
    FileHandle OpenImage(const std::string& path) override;
    bool Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
    bool Size(FileHandle handle, uint64_t* size) override;
    bool Close(FileHandle handle) override;
    uint32_t LastError() const override { return lastError_; }

private:
    bool Fail(uint32_t code);

    uint32_t lastError_ = 0;
};

}  // namespace orlup

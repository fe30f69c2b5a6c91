// A flash image read once into its private snapshot, hashed while it is copied.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/linux/ImageSnapshot.h"

namespace orlup {

struct TakenImage {
    uint32_t error = 0;   // nonzero: nothing was taken
    std::string problem;  // said instead of the code's text where that would mislead
    uint64_t size = 0;
    std::string sha256;  // empty for an image judged by its size alone
    std::shared_ptr<const ImageSnapshot> snapshot;
};

/// ImageSnapshot::Take with SHA-256 of what it copies; cancelled is asked between pieces.
TakenImage TakeHashedSnapshot(const std::string& path, uint64_t largest,
                              std::function<bool()> cancelled);

}  // namespace orlup

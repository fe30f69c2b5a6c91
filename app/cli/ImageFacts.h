// What orlup-cli learns of an image by reading it once, before any printer is touched.
#pragma once

#include <cstdint>
#include <string>

#include "update/ImageFileApi.h"

namespace orlup {

struct ImageFacts {
    uint32_t error = 0;   // nonzero: the image could not be read
    std::string problem;  // said instead of the usual text where the code alone would mislead
    uint64_t size = 0;
    std::string sha256;  // empty when nothing was read
};

/// Reads the image at path once, start to end, through the platform's image calls, for its
/// size and digest; one larger than largest is judged by its size alone and not read.
ImageFacts ReadImageFacts(ImageFileApi& images, const std::string& path, uint64_t largest);

}  // namespace orlup

// What orlup-cli learns of an image by reading it once, before any printer is touched.
#include "ImageFacts.h"

#include <array>

#include "update/ImageDigest.h"

namespace orlup {

ImageFacts ReadImageFacts(ImageFileApi& images, const std::string& path, uint64_t largest) {
    ImageFacts facts;
    const FileHandle image = images.OpenImage(path);
    if (image == InvalidFileHandle) {
        facts.error = images.LastError();
        return facts;
    }
    if (!images.Size(image, &facts.size)) {
        facts.error = images.LastError();
    } else if (facts.size <= largest) {
        Sha256 sha256;
        std::array<uint8_t, 64 * 1024> piece{};
        uint32_t count;  // written by each read
        uint64_t read = 0;
        bool ok;
        while (
            (ok = images.Read(image, piece.data(), static_cast<uint32_t>(piece.size()), &count)) &&
            count > 0) {
            sha256.Update(piece.data(), count);
            read += count;
        }
        // Taken before the close, which may set an error of its own.
        if (!ok) facts.error = images.LastError();
        if (ok) facts.sha256 = sha256.FinishHex();
        facts.size = read;
    }
    images.Close(image);
    return facts;
}

}  // namespace orlup

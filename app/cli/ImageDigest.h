// SHA-256 of flash images, through OpenSSL's libcrypto.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "update/ImageFileApi.h"

struct evp_md_ctx_st;

namespace orlup {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* bytes, std::size_t count);
    /// The digest of everything updated so far, in lowercase hex; the object starts over.
    std::string FinishHex();

private:
    struct Free {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> context_;
};

/// Accepts 64 hexadecimal digits in either case and gives them in lowercase.
bool ParseSha256(const std::string& text, std::string* digest);

/// What one reading pass found in an image.
struct ImageFacts {
    uint32_t error = 0;  // nonzero: the image could not be read
    uint64_t size = 0;
    std::string sha256;
};

/// Reads the image at path once, start to end, through the platform's image calls, one piece
/// at a time.
ImageFacts ReadImageFacts(ImageFileApi& images, const std::string& path);

}  // namespace orlup

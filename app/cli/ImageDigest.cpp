// SHA-256 of flash images, through OpenSSL's libcrypto.
#include "ImageDigest.h"

#include <openssl/evp.h>

#include <array>
#include <cctype>

namespace orlup {

void Sha256::Free::operator()(evp_md_ctx_st* context) const { EVP_MD_CTX_free(context); }

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
    EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr);
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* bytes, std::size_t count) {
    EVP_DigestUpdate(context_.get(), bytes, count);
}

std::string Sha256::FinishHex() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_.get(), digest.data(), &length);
    EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr);
    static const char Digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += Digits[digest[i] >> 4];
        hex += Digits[digest[i] & 0xF];
    }
    return hex;
}

bool ParseSha256(const std::string& text, std::string* digest) {
    if (text.size() != 64) return false;
    std::string lower;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    *digest = lower;
    return true;
}

ImageFacts ReadImageFacts(ImageFileApi& images, const std::string& path) {
    ImageFacts facts;
    const FileHandle image = images.OpenImage(path);
    if (image == InvalidFileHandle) {
        facts.error = images.LastError();
        return facts;
    }
    Sha256 sha256;
    std::array<uint8_t, 64 * 1024> piece{};
    uint32_t count = 0;
    bool read = false;
    while ((read = images.Read(image, piece.data(), static_cast<uint32_t>(piece.size()), &count)) &&
           count > 0) {
        sha256.Update(piece.data(), count);
        facts.size += count;
    }
    // Taken before the close, which may set an error of its own.
    if (!read) facts.error = images.LastError();
    images.Close(image);
    facts.sha256 = facts.error == 0 ? sha256.FinishHex() : "";
    return facts;
}

}  // namespace orlup

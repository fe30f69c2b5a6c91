// SHA-256 digests of flash images: their text form, the same on every platform.
#include "update/ImageDigest.h"

#include <cctype>

namespace orlup {

std::string Sha256::FinishHex() {
    static const char Digits[] = "0123456789abcdef";
    std::string hex;
    for (const uint8_t byte : Finish()) {
        hex += Digits[byte >> 4];
        hex += Digits[byte & 0xF];
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

}  // namespace orlup

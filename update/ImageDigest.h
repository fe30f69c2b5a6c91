// SHA-256 digests of flash images: each platform computes them with its own crypto library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orlup {

class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* bytes, std::size_t count);
    /// The digest of everything updated so far, in lowercase hex; the object starts over.
    std::string FinishHex();

private:
    /// Defined by the platform, as is every member but FinishHex.
    struct Context;
    Digest Finish();

    std::unique_ptr<Context> context_;
};

/// Accepts 64 hexadecimal digits in either case and gives them in lowercase.
bool ParseSha256(const std::string& text, std::string* digest);

}  // namespace orlup

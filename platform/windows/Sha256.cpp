// SHA-256 through Windows' own cryptography primitives (BCrypt), which every version since Vista
// carries.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>

#include "update/ImageDigest.h"

namespace orlup {

// A provider that could not be opened leaves every digest at zeros, which matches no --sha256
// and no real image.
struct Sha256::Context {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;

    Context() { BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0); }
    ~Context() {
        if (hash != nullptr) BCryptDestroyHash(hash);
        if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // A finished hash cannot take more data before Windows 8: each digest gets a fresh one.
    void Restart() {
        if (hash != nullptr) BCryptDestroyHash(hash);
        hash = nullptr;
        if (algorithm != nullptr) BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    }
};

Sha256::Sha256() : context_(std::make_unique<Context>()) { context_->Restart(); }

Sha256::~Sha256() = default;

void Sha256::Update(const void* bytes, std::size_t count) {
    if (context_->hash == nullptr) return;
    // BCryptHashData counts in ULONG, 32 bits on Windows.
    auto* at = static_cast<PUCHAR>(const_cast<void*>(bytes));
    while (count > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(count, 1u << 30));
        BCryptHashData(context_->hash, at, piece, 0);
        at += piece;
        count -= piece;
    }
}

Sha256::Digest Sha256::Finish() {
    Digest digest{};
    if (context_->hash != nullptr) {
        BCryptFinishHash(context_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    }
    context_->Restart();
    return digest;
}

}  // namespace orlup

// SHA-256 through OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "update/ImageDigest.h"

namespace orlup {

struct Sha256::Context {
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> md{EVP_MD_CTX_new()};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
    EVP_DigestInit_ex(context_->md.get(), EVP_sha256(), nullptr);
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* bytes, std::size_t count) {
    EVP_DigestUpdate(context_->md.get(), bytes, count);
}

Sha256::Digest Sha256::Finish() {
    Digest digest{};
    EVP_DigestFinal_ex(context_->md.get(), digest.data(), nullptr);
    EVP_DigestInit_ex(context_->md.get(), EVP_sha256(), nullptr);
    return digest;
}

}  // namespace orlup

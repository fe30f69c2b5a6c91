// SHA-256 digests of flash images: each platform computes them with its own crypto library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
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

/// An image read once into the platform's unchangeable Snapshot, and what the reading told.
template <typename Snapshot>
struct HashedImage {
    uint32_t error = 0;   // nonzero: nothing was taken
    std::string problem;  // said instead of the code's text where that alone would mislead
    uint64_t size = 0;
    std::string sha256;  // empty for an image judged by its size alone
    std::shared_ptr<const Snapshot> snapshot;
};

/// Takes the image at path with Snapshot::Take (TakeOptions' largest, observer, cancelled;
/// size(), problem()), hashing every piece as it is read; one larger than largest is judged by
/// its size and read not at all.
template <typename Snapshot>
HashedImage<Snapshot> TakeHashed(const std::string& path, uint64_t largest,
                                 std::function<bool()> cancelled) {
    Sha256 digest;
    auto snapshot = std::make_shared<Snapshot>();
    typename Snapshot::TakeOptions options;
    options.largest = largest;
    options.observer = [&](const uint8_t* bytes, std::size_t count) {
        digest.Update(bytes, count);
    };
    options.cancelled = std::move(cancelled);
    HashedImage<Snapshot> taken;
    taken.error = Snapshot::Take(path, options, snapshot.get());
    if (taken.error != 0) {
        taken.problem = snapshot->problem();
        return taken;
    }
    taken.size = snapshot->size();
    if (taken.size <= largest) taken.sha256 = digest.FinishHex();
    taken.snapshot = std::move(snapshot);
    return taken;
}

}  // namespace orlup

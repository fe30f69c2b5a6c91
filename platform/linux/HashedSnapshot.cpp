// A flash image read once into its private snapshot, hashed while it is copied.
#include "platform/linux/HashedSnapshot.h"

#include "update/ImageDigest.h"

namespace orlup {

TakenImage TakeHashedSnapshot(const std::string& path, uint64_t largest,
                              std::function<bool()> cancelled) {
    Sha256 digest;
    auto snapshot = std::make_shared<ImageSnapshot>();
    ImageSnapshot::TakeOptions options;
    options.largest = largest;
    options.observer = [&](const uint8_t* bytes, std::size_t count) {
        digest.Update(bytes, count);
    };
    options.cancelled = std::move(cancelled);
    TakenImage taken;
    taken.error = ImageSnapshot::Take(path, options, snapshot.get());
    if (taken.error != 0) {
        taken.problem = snapshot->problem();
        return taken;
    }
    taken.size = snapshot->size();
    if (snapshot->copied()) taken.sha256 = digest.FinishHex();
    taken.snapshot = std::move(snapshot);
    return taken;
}

}  // namespace orlup

// The image side of a platform whose images are real files: read once before any printer is
// touched, and every transfer served from what was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "CliPlatform.h"
#include "update/ImageDigest.h"

namespace orlup {

/// Snapshot is the platform's unchangeable image: Take(path, options, out) with TakeOptions'
/// largest, observer and cancelled, returning 0 or the error; size(); problem(). Images is an
/// ImageFileApi made from the path and the snapshot.
template <typename Snapshot, typename Images>
class SnapshotPlatform : public CliPlatform {
public:
    ImageFacts TakeImage(const std::string& path, uint64_t largest,
                         const std::function<bool()>& cancelled) override {
        Sha256 digest;
        auto snapshot = std::make_shared<Snapshot>();
        typename Snapshot::TakeOptions options;
        options.largest = largest;
        options.observer = [&](const uint8_t* bytes, std::size_t count) {
            digest.Update(bytes, count);
        };
        options.cancelled = cancelled;
        ImageFacts facts;
        facts.error = Snapshot::Take(path, options, snapshot.get());
        if (facts.error != 0) {
            facts.problem = snapshot->problem();
            return facts;
        }
        facts.size = snapshot->size();
        // One too large was judged by its size: nothing was read, so there is no digest.
        if (facts.size <= largest) facts.sha256 = digest.FinishHex();
        path_ = path;
        snapshot_ = std::move(snapshot);
        return facts;
    }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        return std::make_shared<Images>(path_, snapshot_);
    }

private:
    std::string path_;
    std::shared_ptr<const Snapshot> snapshot_;
};

}  // namespace orlup

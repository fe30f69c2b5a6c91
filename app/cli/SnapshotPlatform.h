// The image side of a platform whose images are real files: read once before any printer is
// touched, and every transfer served from what was read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CliPlatform.h"
#include "update/ImageDigest.h"

namespace orlup {

/// Snapshot is the platform's unchangeable image (see TakeHashed); Images an ImageFileApi made
/// from the path and the snapshot.
template <typename Snapshot, typename Images>
class SnapshotPlatform : public CliPlatform {
public:
    ImageFacts TakeImage(const std::string& path, uint64_t largest,
                         const std::function<bool()>& cancelled) override {
        HashedImage<Snapshot> taken = TakeHashed<Snapshot>(path, largest, cancelled);
        path_ = path;
        snapshot_ = std::move(taken.snapshot);
        return ImageFacts{taken.error, taken.problem, taken.size, taken.sha256};
    }
    std::shared_ptr<ImageFileApi> MakeImages() override {
        return std::make_shared<Images>(path_, snapshot_);
    }

private:
    std::string path_;
    std::shared_ptr<const Snapshot> snapshot_;
};

}  // namespace orlup

// Test images and the small files the emulator hands to the guest's scripts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orlup::harness {

/// Bytes that differ from one position to the next and from one image size to another, so
/// that a dropped, repeated or reordered piece shows as a mismatch.
std::vector<uint8_t> PatternImage(uint64_t size);

/// 0, or the errno of the call that failed.
int ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

/// Writes through a temporary name and renames it, so that a script polling for the file
/// never reads half of it. 0, or the errno of the call that failed.
int WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
int WriteWholeFile(const std::string& path, const std::string& text);

}  // namespace orlup::harness

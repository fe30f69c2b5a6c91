// Test images and the small files the emulator hands to the guest's scripts.
#include "ImageFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "GadgetPort.h"

namespace orlup::harness {

std::vector<uint8_t> PatternImage(uint64_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = static_cast<uint32_t>(size) ^ 0x9E3779B9u;
    if (state == 0) state = 1;
    for (auto& byte : bytes) {
        state ^= state << 13;  // xorshift32
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

int ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return errno;
    bytes->clear();
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t count = read(fd.Get(), buffer, sizeof(buffer));
        if (count == 0) return 0;
        if (count < 0 && errno != EINTR) return errno;
        if (count > 0) bytes->insert(bytes->end(), buffer, buffer + count);
    }
}

int WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = path + ".part";
    {
        UniqueFd fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd.Valid()) return errno;
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t count = write(fd.Get(), bytes.data() + done, bytes.size() - done);
            if (count < 0 && errno != EINTR) return errno;
            if (count > 0) done += static_cast<size_t>(count);
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
}

int WriteWholeFile(const std::string& path, const std::string& text) {
    return WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace orlup::harness

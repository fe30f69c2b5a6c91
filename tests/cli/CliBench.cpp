// Measures the command-line host's pace over a 1 MiB image at the real 10 ms period, and its
// peak memory for a 1 KiB and a 1 GiB image (ticked without waiting), against a scripted device.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "CliHost.h"
#include "text/ErrorCodes.h"

namespace orlup {
namespace {

/// A printer that takes every byte at once, and an image generated on the fly, so that
/// neither side holds the image.
class GeneratedFiles : public UsbDeviceSource, public DeviceFileApi, public ImageFileApi {
public:
    explicit GeneratedFiles(uint64_t imageSize) : imageSize_(imageSize) {}
    std::vector<UsbDeviceRecord> ListUsbDevices() override {
        UsbDeviceRecord printer;
        printer.vendorId = 0x044E;
        printer.productId = 0x200A;
        return {printer};
    }
    FileHandle OpenDevice(const UsbDeviceRecord&) override { return 1; }
    FileHandle OpenImage(const std::string&) override { return 2; }
    bool Write(FileHandle, const void*, uint32_t count, uint32_t* written) override {
        received += count;
        *written = count;
        return true;
    }
    bool Read(FileHandle, void* buffer, uint32_t count, uint32_t* read) override {
        const uint64_t left = imageSize_ - offset_;
        *read = static_cast<uint32_t>(left < count ? left : count);
        std::memset(buffer, static_cast<int>(offset_ & 0xFF), *read);
        offset_ += *read;
        return true;
    }
    bool Size(FileHandle, uint64_t* size) override {
        *size = imageSize_;
        return true;
    }
    bool Close(FileHandle) override { return true; }
    uint32_t LastError() const override { return 0; }
    uint64_t received = 0;

private:
    uint64_t imageSize_;
    uint64_t offset_ = 0;
};

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Run {
    int exitCode;
    double seconds;
    uint64_t received;
    uint64_t ticks;
    long worstLateMicros;
};

Run Transfer(uint64_t imageSize, std::optional<std::chrono::microseconds> period) {
    GeneratedFiles files(imageSize);
    std::ostringstream out;
    std::ostringstream err;
    CliHost::Options options;
    options.period = period;
    CliHost host("/bench/0493.hex", out, err, options);
    const auto start = std::chrono::steady_clock::now();
    const int exitCode = host.Flash(FlashSystem{files, files, files});
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return Run{exitCode, elapsed.count(), files.received, host.ticks(),
               static_cast<long>(host.worstLateness().count())};
}

}  // namespace
}  // namespace orlup

int main() {
    using orlup::Transfer;
    constexpr uint64_t MiB = 1024 * 1024;
    constexpr double Nominal = 102400.0;

    const auto pace = Transfer(MiB, std::nullopt);
    const double rate = static_cast<double>(MiB) / pace.seconds;
    std::printf("pace: 1 MiB in %.3f s over %llu ticks = %.0f B/s = %.2f%% of nominal "
                "(worst tick %ld us late), exit %d\n",
                pace.seconds, static_cast<unsigned long long>(pace.ticks), rate,
                100.0 * rate / Nominal, pace.worstLateMicros, pace.exitCode);

    const long before = orlup::PeakKilobytes();
    const auto small = Transfer(1024, std::chrono::microseconds(0));
    const long afterSmall = orlup::PeakKilobytes();
    const auto large = Transfer(1024 * MiB, std::chrono::microseconds(0));
    const long afterLarge = orlup::PeakKilobytes();
    std::printf("memory: peak RSS %ld KiB before, %ld KiB after 1 KiB image, %ld KiB after 1 GiB "
                "image (%llu bytes sent in %.1f s, exit %d/%d)\n",
                before, afterSmall, afterLarge, static_cast<unsigned long long>(large.received),
                large.seconds, small.exitCode, large.exitCode);
    return pace.exitCode == 0 && small.exitCode == 0 && large.exitCode == 0 ? 0 : 1;
}

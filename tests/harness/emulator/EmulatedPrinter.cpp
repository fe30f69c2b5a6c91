// Plays an Ilvaran printer on the gadget side for one transfer and reports what it received.
#include "EmulatedPrinter.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "GadgetPort.h"
#include "TransferLog.h"

namespace orlup::harness {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStop(int) { stopRequested = 1; }

int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

const char* ErrorName(int error) { return error == 0 ? "0" : strerrorname_np(error); }

// The UDC file is written empty, as a pulled cable would leave it: 0, or the errno.
int UnbindUdc(const std::string& path) {
    const UniqueFd fd(open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.IsValid()) return errno;
    return write(fd.Get(), "\n", 1) == 1 ? 0 : errno;
}

class EmulatedPrinter {
public:
    EmulatedPrinter(const ServeOptions& options, GadgetPort& port, std::vector<uint8_t> image)
        : options_(options), port_(port), log_(std::move(image)), buffer_(128 * 1024) {}

    void Serve() {
        const char* ending = Receive();
        std::cout << log_.Report() << "ending=" << ending << "\ndrained=" << drained_
                  << "\nerror=" << ErrorName(error_) << std::endl;
    }

private:
    const char* Receive() {
        for (;;) {
            if (!options_.trouble.empty() && log_.Received() >= options_.troubleAfter) {
                return options_.trouble == "stall" ? HoldStalled() : Unplug();
            }
            if (stopRequested) return ReadUntilIdle() ? "stopped" : "port-failed";
            if (ReadOnce(50) < 0) return "port-failed";
        }
    }

    // The host's write returns once the gadget holds the data, before this side has read it:
    // read on until nothing has come for a while, so that none goes uncounted.
    bool ReadUntilIdle() {
        long count = 0;
        while ((count = ReadOnce(300)) > 0) {
        }
        return count == 0;
    }

    // f_printer frees a half-read request at unbind without forgetting it, and frees it again
    // at the next unbind: the guest's slab breaks. Never leave one behind.
    const char* HoldStalled() {
        const timespec nap{0, 50 * 1000000L};
        while (!stopRequested) nanosleep(&nap, nullptr);
        drained_ = port_.Drain(300);
        return "stalled";
    }

    // Unbinding with the fd open is what a pulled cable does; the fd must be closed before
    // anyone binds the UDC again, or closing it later corrupts the kernel's list.
    const char* Unplug() {
        error_ = UnbindUdc(options_.udc);
        port_.Close();
        return "unplugged";
    }

    // The buffer holds more than all of the gadget's queued requests (q_len 10 of 8 KiB), so
    // every read takes whole requests; only a stall stops at exactly its byte count.
    long ReadOnce(int timeoutMs) {
        size_t limit = buffer_.size();
        if (options_.trouble == "stall") {
            limit = std::min<uint64_t>(limit, options_.troubleAfter - log_.Received());
        }
        const long count = port_.ReadSome(buffer_.data(), limit, timeoutMs);
        if (count < 0) error_ = port_.Error();
        if (count > 0) log_.Receive(buffer_.data(), static_cast<size_t>(count), NowMs());
        return count;
    }

    const ServeOptions& options_;
    GadgetPort& port_;
    TransferLog log_;
    std::vector<uint8_t> buffer_;
    uint64_t drained_ = 0;
    int error_ = 0;
};

int Fail(const std::string& what, int error) {
    std::cerr << "printer-emulator: " << what << ": " << ErrorName(error) << "\n";
    return 3;
}

}  // namespace

int ServePrinter(const ServeOptions& options) {
    std::ifstream file(options.image, std::ios::binary);
    if (!file) return Fail("cannot read " + options.image, errno);
    std::vector<uint8_t> image{std::istreambuf_iterator<char>(file), {}};
    GadgetPort port;
    if (!port.Open(options.gadget)) return Fail("cannot open " + options.gadget, port.Error());
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigaction(SIGTERM, &action, nullptr);
    std::cout << "stale=" << (options.drainFirst ? port.Drain(100) : 0) << "\nready" << std::endl;
    EmulatedPrinter(options, port, std::move(image)).Serve();
    return 0;
}

}  // namespace orlup::harness

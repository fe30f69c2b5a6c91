// Plays an Ilvaran printer on the gadget side for one transfer and reports what it received.
#include "EmulatedPrinter.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <sstream>
#include <utility>
#include <vector>

#include "ImageFiles.h"

namespace orlup::harness {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int) { stopSignal = 1; }

int64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

std::string ErrorText(int error) {
    if (error == 0) return "0";
    return std::to_string(error) + " " + strerrorname_np(error);
}

// 0 on success, else the errno of the failed open or write.
int WriteUdc(const std::string& path, const char* text) {
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.Valid()) return errno;
    const ssize_t length = static_cast<ssize_t>(std::strlen(text));
    return write(fd.Get(), text, static_cast<size_t>(length)) == length ? 0 : errno;
}

}  // namespace

bool StopRequested() { return stopSignal != 0; }

void InstallStopHandler() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

EmulatedPrinter::EmulatedPrinter(ServeOptions options)
    : options_(std::move(options)), log_({}), buffer_(ReadBufferSize), startMs_(MonotonicMs()) {}

int EmulatedPrinter::Run() {
    std::vector<uint8_t> image;
    if (const int error = ReadWholeFile(options_.image, &image); error != 0) {
        return Fail("cannot read " + options_.image, error);
    }
    log_ = TransferLog(std::move(image));
    if (!port_.Open(options_.gadget, 10000)) {
        return Fail("cannot open " + options_.gadget, port_.Error());
    }
    stale_ = port_.Drain(100);
    if (const int error = WriteWholeFile(options_.ready, std::string("ready\n")); error != 0) {
        return Fail("cannot write " + options_.ready, error);
    }
    const Ending ending = Receive();
    // The host's write returns once the gadget holds the data, before this side has read
    // it: keep reading a little so that nothing the host sent goes uncounted.
    if (ending == Ending::Stopped) ReceiveUntilIdle(300);
    // f_printer frees a half-read request at unbind without forgetting it, and frees it
    // again at the next unbind: the guest's slab breaks. Never leave one behind.
    if (ending == Ending::Stalled) drainedAfterStall_ = port_.Drain(300);
    WriteReport(ending);
    return 0;
}

EmulatedPrinter::Ending EmulatedPrinter::Receive() {
    for (;;) {
        if (WatchdogExpired()) return Ending::Watchdog;
        const uint64_t received = log_.Received();
        if (options_.stallAfter && received >= *options_.stallAfter) return HoldStalled();
        if (options_.unplugAfter && received >= *options_.unplugAfter) return Unplug();
        if (StopRequested()) return Ending::Stopped;
        if (!ReadOnce(50)) return Ending::PortFailed;
    }
}

EmulatedPrinter::Ending EmulatedPrinter::HoldStalled() {
    while (!StopRequested()) {
        if (WatchdogExpired()) return Ending::Watchdog;
        timespec delay{0, 50 * 1000000L};
        nanosleep(&delay, nullptr);
    }
    return Ending::Stalled;
}

// Unbinding while the fd is open is what a pulled cable does; the fd must be closed before
// anyone binds the UDC again, or closing it later corrupts the kernel's list. Reads never
// stop inside a request here (see ReadLimit), so no half-read request outlives the unbind.
EmulatedPrinter::Ending EmulatedPrinter::Unplug() {
    unplugError_ = WriteUdc(options_.udc, "\n");
    port_.Close();
    return Ending::Unplugged;
}

void EmulatedPrinter::ReceiveUntilIdle(int idleMs) {
    int64_t lastDataMs = NowMs();
    while (NowMs() - lastDataMs < idleMs && !WatchdogExpired()) {
        const uint64_t before = log_.Received();
        if (!ReadOnce(20)) return;
        if (log_.Received() != before) lastDataMs = NowMs();
    }
}

bool EmulatedPrinter::ReadOnce(int timeoutMs) {
    const long count = port_.ReadSome(buffer_.data(), ReadLimit(), timeoutMs);
    if (count < 0) {
        portError_ = port_.Error();
        return false;
    }
    log_.Receive(buffer_.data(), static_cast<size_t>(count), NowMs());
    return true;
}

// A stall hits at exactly its byte count. Otherwise the buffer holds more than all of the
// gadget's queued requests, so that every read takes whole requests.
size_t EmulatedPrinter::ReadLimit() const {
    const uint64_t received = log_.Received();
    if (options_.stallAfter && *options_.stallAfter > received) {
        return static_cast<size_t>(
            std::min<uint64_t>(buffer_.size(), *options_.stallAfter - received));
    }
    return buffer_.size();
}

bool EmulatedPrinter::WatchdogExpired() const {
    return NowMs() > int64_t{options_.maxSeconds} * 1000;
}

int64_t EmulatedPrinter::NowMs() const { return MonotonicMs() - startMs_; }

int EmulatedPrinter::Fail(const std::string& what, int error) {
    std::cerr << "printer-emulator: " << what << ": " << ErrorText(error) << "\n";
    WriteWholeFile(options_.report, "setupError=" + ErrorText(error) + "\n");
    return 3;
}

void EmulatedPrinter::WriteReport(Ending ending) {
    static const char* const endingNames[] = {"stopped", "stalled", "unplugged", "port-failed",
                                              "watchdog"};
    std::ostringstream out;
    out << log_.Report() << "stale=" << stale_ << "\n"
        << "ending=" << endingNames[static_cast<int>(ending)] << "\n"
        << "drainedAfterStall=" << drainedAfterStall_ << "\n"
        << "portError=" << ErrorText(portError_) << "\n"
        << "unplugError=" << ErrorText(unplugError_) << "\n";
    WriteWholeFile(options_.report, out.str());
}

}  // namespace orlup::harness

// The guest's helper program: plays an Ilvaran printer on the gadget side for one transfer
// (judges what it received as a printer judges it, compares it with the image it should have
// been, and times it), empties a gadget, or starts a program as a terminal's shell starts a job.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/UniqueFd.h"
#include "platform/simulated/PrinterIntake.h"

namespace orlup::harness {
namespace {

struct ServeOptions {
    std::string gadget;         // /dev/g_printerN
    std::string udc;            // the gadget's configfs UDC file, written empty to unplug
    std::string image;          // what should follow the update command
    std::string trouble;        // "", "stall" (stop reading) or "unplug" (pull the cable)
    uint64_t troubleAfter = 0;  // bytes received before the trouble starts
    // Bytes a previous host left queued are read away first. A gadget bound just now has none,
    // and its host may be writing already.
    bool drainFirst = true;
};

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

// The printer's end of a configfs printer function, /dev/g_printerN. Non-blocking: a blocking
// read on this node never wakes when the host goes away.
UniqueFd OpenGadget(const std::string& path) {
    return UniqueFd(open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
}

// The count, 0 when nothing came within timeoutMs, -1 on a failure with errno set.
long ReadSome(int gadget, uint8_t* buffer, size_t capacity, int timeoutMs) {
    pollfd entry{gadget, POLLIN, 0};
    const int ready = poll(&entry, 1, timeoutMs);
    const ssize_t count = ready > 0 ? read(gadget, buffer, capacity) : ready;
    return count >= 0 || errno == EAGAIN || errno == EINTR ? std::max<ssize_t>(count, 0) : -1;
}

// Throws away whatever arrives until nothing has come for idleMs: data a previous host left
// queued must not count as this transfer's.
uint64_t Drain(int gadget, int idleMs) {
    std::vector<uint8_t> buffer(128 * 1024);
    uint64_t total = 0;
    for (long count; (count = ReadSome(gadget, buffer.data(), buffer.size(), idleMs)) > 0;) {
        total += static_cast<uint64_t>(count);
    }
    return total;
}

class EmulatedPrinter {
public:
    EmulatedPrinter(const ServeOptions& options, UniqueFd& port, std::vector<uint8_t> image)
        : options_(options), port_(port), expected_(std::move(image)), buffer_(128 * 1024) {}

    void Serve() {
        const char* ending = Receive();
        std::cout << Report() << "ending=" << ending << "\ndrained=" << drained_
                  << "\nerror=" << ErrorName(error_) << std::endl;
    }

private:
    const char* Receive() {
        for (;;) {
            if (!options_.trouble.empty() && received_ >= options_.troubleAfter) {
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
        drained_ = Drain(port_.Get(), 300);
        return "stalled";
    }

    // Unbinding with the fd open is what a pulled cable does; the fd must be closed before
    // anyone binds the UDC again, or closing it later corrupts the kernel's list.
    const char* Unplug() {
        error_ = UnbindUdc(options_.udc);
        port_.Reset();
        return "unplugged";
    }

    // The buffer holds more than all of the gadget's queued requests (q_len 10 of 8 KiB), so
    // every read takes whole requests; only a stall stops at exactly its byte count.
    long ReadOnce(int timeoutMs) {
        size_t limit = buffer_.size();
        if (options_.trouble == "stall") {
            limit = std::min<uint64_t>(limit, options_.troubleAfter - received_);
        }
        const long count = ReadSome(port_.Get(), buffer_.data(), limit, timeoutMs);
        if (count < 0) error_ = errno;
        if (count > 0) Take(buffer_.data(), static_cast<size_t>(count), NowMs());
        return count;
    }

    // The pace counts from the command on: before it, the host was still finding the printer.
    void Take(const uint8_t* bytes, size_t count, int64_t atMs) {
        const uint64_t offset = intake_.ImageTaken();
        const PrinterIntake::Split split = intake_.Take(bytes, count);
        if (split.command > 0 && intake_.CommandWhole()) commandAtMs_ = atMs;
        if (split.image > 0) lastImageAtMs_ = atMs;
        for (size_t i = 0; i < split.image && firstMismatch_ < 0; ++i) {
            const uint64_t at = offset + i;
            if (at >= expected_.size() || bytes[split.command + i] != expected_[at]) {
                firstMismatch_ = static_cast<int64_t>(at);
            }
        }
        received_ += count;
    }

    /// key=value lines, one fact a line, for the guest's checks to read.
    std::string Report() const {
        const uint64_t payload = intake_.ImageTaken();
        const int64_t payloadMs = lastImageAtMs_ - commandAtMs_;
        const bool match =
            intake_.Complete() && intake_.Announced() == expected_.size() && firstMismatch_ < 0;
        const char* command = !intake_.CommandWhole()  ? "short"
                              : intake_.CommandValid() ? "ok"
                                                       : "bad";
        std::ostringstream out;
        out << "received=" << received_ << "\ncommand=" << command
            << "\nannounced=" << intake_.Announced() << "\npayload=" << payload
            << "\nextra=" << intake_.Refused() << "\nfirstMismatch=" << firstMismatch_
            << "\nmatch=" << (match ? "yes" : "no")
            << "\npace=" << (payloadMs > 0 ? payload * 1000 / static_cast<uint64_t>(payloadMs) : 0)
            << "\n";
        return out.str();
    }

    const ServeOptions& options_;
    UniqueFd& port_;
    const std::vector<uint8_t> expected_;
    std::vector<uint8_t> buffer_;
    PrinterIntake intake_;
    uint64_t received_ = 0;
    int64_t firstMismatch_ = -1;
    int64_t commandAtMs_ = 0;
    int64_t lastImageAtMs_ = 0;
    uint64_t drained_ = 0;
    int error_ = 0;
};

int Fail(const std::string& what, int error) {
    std::cerr << "printer-emulator: " << what << ": " << ErrorName(error) << "\n";
    return 3;
}

// Prints "ready" once the port is open and emptied, then serves until SIGTERM and prints the
// report. 0, or 3 when the image or the port could not be opened.
int ServePrinter(const ServeOptions& options) {
    std::ifstream file(options.image, std::ios::binary);
    if (!file) return Fail("cannot read " + options.image, errno);
    std::vector<uint8_t> image{std::istreambuf_iterator<char>(file), {}};
    UniqueFd port = OpenGadget(options.gadget);
    if (!port.IsValid()) return Fail("cannot open " + options.gadget, errno);
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigaction(SIGTERM, &action, nullptr);
    std::cout << "stale=" << (options.drainFirst ? Drain(port.Get(), 100) : 0) << "\nready"
              << std::endl;
    EmulatedPrinter(options, port, std::move(image)).Serve();
    return 0;
}

// A gadget whose emulator died mid-read must be emptied before anyone unbinds it (see
// HoldStalled). One the host has not configured, or an emulator still holds, does not open and
// is left alone.
int DrainGadget(const std::string& gadget) {
    const UniqueFd port = OpenGadget(gadget);
    const uint64_t drained = port.IsValid() ? Drain(port.Get(), 100) : 0;
    if (drained > 0) std::cout << "drained " << drained << " bytes from " << gadget << "\n";
    return 0;
}

const char* const Usage =
    "usage: printer-emulator serve [--fresh] GADGET UDC IMAGE [stall|unplug BYTES]\n"
    "       printer-emulator drain GADGET\n"
    "       printer-emulator job PIDFILE PROGRAM [ARGUMENT]...\n";

bool ParseTrouble(const char* kind, const char* bytes, ServeOptions* options) {
    char* end = nullptr;
    options->trouble = kind;
    options->troubleAfter = std::strtoull(bytes, &end, 10);
    return (options->trouble == "stall" || options->trouble == "unplug") &&
           std::isdigit(static_cast<unsigned char>(*bytes)) && *end == '\0';
}

// As a terminal's shell starts a job: a process group of its own, whose parent stays in the
// same session, so that a stop signal is not discarded as it is for an orphaned group (the
// guest's own group is one). A non-interactive shell starts every background job with SIGINT
// and SIGQUIT ignored, and a program inherits that: undone. The job's pid goes to PIDFILE for
// the signals; the exit status is the job's, or 128 and the signal that ended it.
int RunAsJob(const char* pidFile, char** argv) {
    setsid();
    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGQUIT, SIG_DFL);
        execvp(argv[0], argv);
        std::cerr << "printer-emulator: cannot run " << argv[0] << "\n";
        _exit(127);
    }
    if (job < 0) return 127;
    std::ofstream(pidFile) << job << std::endl;
    int status = 0;
    while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace
}  // namespace orlup::harness

using namespace orlup::harness;

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool fresh = mode == "serve" && argc > 2 && std::string(argv[2]) == "--fresh";
    char** const words = argv + (fresh ? 3 : 2);
    const int count = argc - (fresh ? 3 : 2);
    if (mode == "serve" && (count == 3 || count == 5)) {
        ServeOptions options{words[0], words[1], words[2], "", 0, !fresh};
        if (count == 3 || ParseTrouble(words[3], words[4], &options)) {
            return ServePrinter(options);
        }
    }
    if (mode == "drain" && argc == 3) return DrainGadget(argv[2]);
    if (mode == "job" && argc > 3) return RunAsJob(argv[2], argv + 3);
    std::cerr << Usage;
    return 2;
}

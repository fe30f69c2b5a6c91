// Word of USB devices coming and going, from udev or straight from the kernel.
#include "platform/linux/LinuxDeviceWatch.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/linux/Interruption.h"
#include "platform/linux/StandardDescriptors.h"

namespace orlup {

namespace {

using Clock = std::chrono::steady_clock;

// udevd's socket: where it is missing nobody forwards the kernel's announcements as udev's.
constexpr char UdevControl[] = "/run/udev/control";

UniqueFd MakeEventFd() {
    return AboveStandardDescriptors(UniqueFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)));
}

void Signal(const UniqueFd& fd) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(fd.Get(), &one, sizeof one);
}

// Reads the count back to zero: one Wait answers any number of calls.
void Consume(const UniqueFd& fd) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t ignored = read(fd.Get(), &count, sizeof count);
}

// Asked only for input; what happened comes back in revents.
pollfd Readable(int fd) {
    pollfd entry{};
    entry.fd = fd;
    entry.events = POLLIN;
    return entry;
}

// Milliseconds for poll, rounded up so that a Wait never ends before its deadline.
int RemainingMs(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

}  // namespace

void LinuxDeviceWatch::UdevDeleter::operator()(udev* context) const { udev_unref(context); }
void LinuxDeviceWatch::UdevDeleter::operator()(udev_monitor* monitor) const {
    udev_monitor_unref(monitor);
}

LinuxDeviceWatch::LinuxDeviceWatch(bool hotplug) : wakes_(MakeEventFd()), changes_(MakeEventFd()) {
    if (!hotplug) return;
    udev_.reset(udev_new());
    if (udev_ == nullptr) return;
    const char* source = access(UdevControl, F_OK) == 0 ? "udev" : "kernel";
    monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), source));
    // Printers come and go as USB devices; usblp's nodes follow them a little later.
    if (monitor_ == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "usb", nullptr) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "usbmisc", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_.get()) < 0) {
        monitor_.reset();
    }
}

LinuxDeviceWatch::~LinuxDeviceWatch() = default;

void LinuxDeviceWatch::Wake() { Signal(wakes_); }

void LinuxDeviceWatch::Notify() { Signal(changes_); }

// Every announcement pending, so that a burst of them (a hub with its devices) ends one Wait.
// The monitor lets through only the subsystems asked for; an overflowing socket lost some,
// which may have told of a change too. (EWOULDBLOCK is EAGAIN on Linux.)
bool LinuxDeviceWatch::TakeAnnouncements() {
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_.get())) {
        udev_device_unref(device);
        changed = true;
    }
    return changed || errno != EAGAIN;
}

UsbDeviceWatch::Event LinuxDeviceWatch::Wait(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    enum { Stop, Interruption, Wakes, Changes, Monitor };
    pollfd fds[] = {Readable(StopRequestFd()), Readable(InterruptionFd()), Readable(wakes_.Get()),
                    Readable(changes_.Get()),
                    Readable(monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1)};
    for (;;) {
        const int ready =
            poll(fds, sizeof fds / sizeof fds[0], timeout.count() < 0 ? -1 : RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        // The devices are worth a look when the wait itself fails.
        if (ready < 0) return Event::Changed;
        if (ready == 0) return Event::TimedOut;
        if (fds[Stop].revents != 0 || fds[Interruption].revents != 0) return Event::Woken;
        if (fds[Wakes].revents != 0) {
            Consume(wakes_);
            return Event::Woken;
        }
        if (fds[Changes].revents != 0) {
            Consume(changes_);
            return Event::Changed;
        }
        if (fds[Monitor].revents != 0 && TakeAnnouncements()) return Event::Changed;
    }
}

}  // namespace orlup

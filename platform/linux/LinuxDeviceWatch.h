// Word of USB devices coming and going, from udev or straight from the kernel.
#pragma once

#include <memory>

#include "platform/linux/UniqueFd.h"
#include "usb/UsbDeviceWatch.h"

struct udev;
struct udev_monitor;

namespace orlup {

/// Besides Wake, a Wait also ends (Woken) once the program is asked to stop or a stop signal
/// is pending (Interruption.h); those stay pending for the caller to look at.
class LinuxDeviceWatch : public UsbDeviceWatch {
public:
    /// With hotplug, the USB devices and usblp nodes that the system announces end a Wait:
    /// udev's announcements where udevd runs, else the kernel's own (a system without udevd).
    /// Without, only Notify tells of changes, as simulated printers do.
    explicit LinuxDeviceWatch(bool hotplug);
    ~LinuxDeviceWatch() override;
    LinuxDeviceWatch(const LinuxDeviceWatch&) = delete;
    LinuxDeviceWatch& operator=(const LinuxDeviceWatch&) = delete;

    Event Wait(std::chrono::milliseconds timeout) override;
    void Wake() override;
    /// Ends the current or the next Wait with Changed; safe from any thread.
    void Notify();
    /// False when hotplug was asked for but the system refused it (no netlink socket allowed):
    /// the watch then only wakes and times out.
    bool hotplugWorks() const { return monitor_ != nullptr; }

private:
    struct UdevDeleter {
        void operator()(udev* context) const;
        void operator()(udev_monitor* monitor) const;
    };

    bool TakeAnnouncements();

    std::unique_ptr<udev, UdevDeleter> udev_;
    std::unique_ptr<udev_monitor, UdevDeleter> monitor_;
    UniqueFd wakes_;    // eventfd: Wake
    UniqueFd changes_;  // eventfd: Notify
};

}  // namespace orlup

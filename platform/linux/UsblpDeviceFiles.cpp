// Printer ports over the kernel's usblp nodes: exclusive, checked, blocking writes.
#include "platform/linux/UsblpDeviceFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <thread>

#include "platform/linux/Interruption.h"
#include "platform/linux/LinuxErrors.h"
#include "platform/linux/StandardDescriptors.h"
#include "platform/linux/SysfsFiles.h"
#include "platform/linux/SysfsUsbDevices.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/WriteWatchdog.h"
#include "text/ErrorCodes.h"

namespace orlup {

namespace {

// An unplugged printer first fails its writes with EIO and only later with ENODEV, once the
// kernel has taken the device away; waiting this long at most tells the two causes apart.
constexpr std::chrono::milliseconds unplugGrace{2000};

// USBLP_BUF_SIZE: usblp sends a write in pieces of this size and counts only whole ones.
constexpr uint32_t usblpPieceSize = 8192;

std::string Resolved(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

// /sys/dev/char/M:m of a usblp node leads to <device>/<device>:C.I/usbmisc/lpN; anything else,
// even another driver's node below the same printer, is not the port that was listed.
std::string UsbDeviceOfNode(const struct stat& node, const std::string& sysfsRoot) {
    const std::string classDevice =
        Resolved(sysfsRoot + "/dev/char/" + std::to_string(major(node.st_rdev)) + ":" +
                 std::to_string(minor(node.st_rdev)));
    const std::string classFolder = Parent(classDevice);
    const std::string interface = Parent(classFolder);
    const std::string device = Parent(interface);
    const bool isUsblpNode = BaseName(classDevice).compare(0, 2, "lp") == 0 &&
                             BaseName(classFolder) == "usbmisc" &&
                             BaseName(interface).rfind(BaseName(device) + ":", 0) == 0;
    return isUsblpNode ? device : "";
}

}  // namespace

UsblpDeviceFiles::UsblpDeviceFiles(std::string sysfsRoot, std::chrono::milliseconds writeTimeout)
    : sysfsRoot_(std::move(sysfsRoot)), writeTimeout_(writeTimeout) {}

FileHandle UsblpDeviceFiles::FailOpen(uint32_t code) {
    lastError_ = code;
    return InvalidFileHandle;
}

FileHandle UsblpDeviceFiles::OpenDevice(const UsbDeviceRecord& device) {
    if (device.node.empty()) return FailOpen(ErrorCode::NotSupported);
    // Proven before the open too: opening some other device can have effects of its own.
    struct stat listed {};
    if (stat(device.node.c_str(), &listed) != 0) return FailOpen(LastErrnoCode());
    if (!IsListedDevice(listed, device)) return FailOpen(ErrorCode::DeviceNotConnected);
    // The open itself must not wait for the device; a device is never to become this process's
    // controlling terminal.
    UniqueFd fd = AboveStandardDescriptors(
        UniqueFd(open(device.node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)));
    if (!fd.IsValid()) return FailOpen(LastErrnoCode());
    // usblp already refuses a second open with EBUSY; the lock keeps the open exclusive on
    // nodes whose driver does not.
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return FailOpen(LastErrnoCode());
    // The node was found by name, and the name may have passed to another printer since.
    struct stat opened {};
    if (fstat(fd.Get(), &opened) != 0) return FailOpen(LastErrnoCode());
    if (opened.st_rdev != listed.st_rdev || !IsListedDevice(opened, device)) {
        return FailOpen(ErrorCode::DeviceNotConnected);
    }
    // Opened without blocking, written with: see WriteAll.
    const int flags = fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return FailOpen(LastErrnoCode());
    }
    deviceNodes_[fd.Get()] = DeviceNode{device.node, opened.st_rdev};
    return fd.Release();
}

bool UsblpDeviceFiles::IsListedDevice(const struct stat& node,
                                      const UsbDeviceRecord& device) const {
    if (!S_ISCHR(node.st_mode)) return false;
    const std::string usbDevice = UsbDeviceOfNode(node, sysfsRoot_);
    UsbDeviceRecord actual;
    return !usbDevice.empty() && ReadUsbDevice(usbDevice, "", &actual) &&
           actual.vendorId == device.vendorId && actual.productId == device.productId &&
           actual.busPort == device.busPort && actual.serial == device.serial;
}

bool UsblpDeviceFiles::Write(FileHandle handle, const void* bytes, uint32_t count,
                             uint32_t* written) {
    uint32_t done = 0;
    int fd = -1;
    const uint32_t error = ToFd(handle, &fd)
                               ? WriteAll(fd, static_cast<const uint8_t*>(bytes), count, &done)
                               : ErrorCode::InvalidHandle;
    if (written != nullptr) *written = done;
    if (error == ErrorCode::Success) return true;
    lastError_ = error;
    return false;
}

// usblp tells a failed transfer only to a blocking writer: a non-blocking write counts a piece
// as written the moment it is queued, and a failure of that piece is lost. So the printer is
// written in blocking mode under a watchdog that ends a wait without progress.
//
// How usblp (drivers/usb/class/usblp.c) answers a blocking write, and why a write cut short by a
// signal ends the transfer:
// - usblp_write waits in usblp_wwait until the previous piece is done; then, for each piece of
//   at most USBLP_BUF_SIZE, it submits the piece, waits in usblp_wwait until the printer has
//   taken it and only then counts it. A failed piece fails the call with EIO when it is the
//   call's first; after whole pieces the call returns their count and the failure goes unsaid.
// - usblp_wwait gives up with EINTR as soon as a signal is pending, before it looks whether the
//   piece is done. Cut short before the submission, nothing was sent; after it, the piece stays
//   queued ("left dangling") and may well still reach the printer, yet the call counts it as
//   unwritten. Both are the same EINTR, and once the piece is done nothing tells them apart.
// - A write of zero bytes waits (usblp_wwait) for a queued piece and returns 0, but never says
//   whether that piece arrived; no call does (poll only tells whether one is still queued).
// So after EINTR no continuation is sound: the piece sent again may arrive twice, skipped it may
// be missing. Hence: WriteWatchdog lets only its own timer and the signals that end or stop the
// program reach a write, and holds back all others until the piece is done; each call carries
// at most one usblp piece, so that a failure is that piece's own; and any EINTR ends the
// transfer without sending the piece again: ErrorCode::Timeout for the watchdog's timer,
// ErrorCode::OperationAborted for an interruption, a SIGSTOP (which nothing can hold back) or
// a debugger.
uint32_t UsblpDeviceFiles::WriteAll(int fd, const uint8_t* bytes, uint32_t count,
                                    uint32_t* written) {
    WriteWatchdog watchdog(writeTimeout_);
    if (!watchdog.IsArmed()) return LastErrnoCode();
    while (*written < count) {
        if (InterruptSignal() != 0) return ErrorCode::OperationAborted;
        const uint32_t piece = std::min(count - *written, usblpPieceSize);
        const ssize_t taken = write(fd, bytes + *written, piece);
        const int writeErrno = errno;
        if (taken > 0) {
            *written += static_cast<uint32_t>(taken);
            // A whole piece came in time, whenever the timer fired; part of one was all that
            // went before the call stopped, and the next call tells why.
            if (taken == static_cast<ssize_t>(piece) || !watchdog.HasFired()) {
                watchdog.Restart();
                continue;
            }
        }
        if (InterruptSignal() != 0) return ErrorCode::OperationAborted;
        if (watchdog.HasFired()) return ErrorCode::Timeout;
        if (taken == 0) return ErrorCode::Success;  // a short count: the port's write fault
        // EINTR from anything but the two above becomes OperationAborted by the errno table.
        return WriteErrorCode(fd, writeErrno);
    }
    return ErrorCode::Success;
}

uint32_t UsblpDeviceFiles::WriteErrorCode(int fd, int errnoValue) const {
    const auto node = deviceNodes_.find(fd);
    if (errnoValue == EIO && node != deviceNodes_.end() && HasVanished(node->second)) {
        return ErrorCode::DeviceNotConnected;
    }
    return ErrorCodeFromErrno(errnoValue);
}

// The node goes, or comes back for another device, when the kernel removes the printer.
bool UsblpDeviceFiles::HasVanished(const DeviceNode& node) const {
    const Clock::time_point giveUp = Clock::now() + std::min(writeTimeout_, unplugGrace);
    for (;;) {
        struct stat status {};
        if (stat(node.path.c_str(), &status) != 0 || status.st_rdev != node.device) return true;
        if (Clock::now() >= giveUp || InterruptSignal() != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Linux releases the descriptor whatever close() reports, EINTR included; only a descriptor
// that was not open fails, so that the caller never closes a reused number a second time.
bool UsblpDeviceFiles::Close(FileHandle handle) {
    int fd = -1;
    const bool closed = ToFd(handle, &fd) && (close(fd) == 0 || errno != EBADF);
    deviceNodes_.erase(fd);
    if (!closed) lastError_ = ErrorCode::InvalidHandle;
    return closed;
}

}  // namespace orlup

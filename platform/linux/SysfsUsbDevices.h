// The USB devices that sysfs lists, with the usblp node of each printer among them.
#pragma once

#include <string>
#include <vector>

#include "usb/UsbDevices.h"

namespace orlup {

/// The device listing of Linux: every USB device under <sysfs>/bus/usb/devices (root hubs and
/// interfaces left out), in the order of their port names.
class SysfsUsbDevices : public UsbDeviceSource {
public:
    /// The roots are parameters so that tests can lay out a fake sysfs and device folder.
    explicit SysfsUsbDevices(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    std::vector<UsbDeviceRecord> ListUsbDevices() override;

private:
    std::string sysfsRoot_;
    std::string devRoot_;
};

/// What sysfs tells of the USB device folder at sysfsPath; false when it is no device (an
/// interface, a folder without ids) or vanished while it was read. devRoot is where the
/// printer node named by usblp is looked for.
bool ReadUsbDevice(const std::string& sysfsPath, const std::string& devRoot,
                   UsbDeviceRecord* device);

}  // namespace orlup

// The USB devices sysfs lists, named by device interface paths, and the usblp node behind each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orlup {

struct UsbDeviceEntry {
    std::string portName;   // the sysfs name, such as "1-1.2"
    std::string sysfsPath;  // <sysfs root>/bus/usb/devices/<portName>
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    std::string manufacturer;
    std::string product;
    std::string devicePath;  // the device interface path the Setup API stand-in reports
};

/// The present USB devices (root hubs and interfaces left out), in the order of their port
/// names, each with its device interface path; false when the bus folder cannot be read.
bool ScanUsbDevices(const std::string& sysfsRoot, std::vector<UsbDeviceEntry>* devices);

/// "\\?\usb#vid_xxxx&pid_xxxx#<instance>#{a5dcbf10-6530-11d2-901f-00c04fb951ed}".
std::string DeviceInterfacePath(uint16_t vendorId, uint16_t productId, const std::string& instance);

/// The device node of the printer behind a device interface path: 0 with node set, or
/// ErrorCode::FileNotFound when no such device is present, or ErrorCode::NotSupported when the
/// device is present but no printer driver has bound one of its interfaces.
uint32_t ResolveDeviceNode(const std::string& devicePath, std::string* node,
                           const std::string& sysfsRoot = "/sys",
                           const std::string& devRoot = "/dev");

}  // namespace orlup

// The present USB devices, as records the search matches and the platform opens again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orlup {

struct UsbDeviceRecord {
    /// Windows: the device interface path, which the port opens. Linux: the USB device's
    /// sysfs folder.
    std::string devicePath;
    /// Windows: the friendly name, else the device description, else the device path.
    /// Linux: the manufacturer and product strings.
    std::string description;
    /// 0 when the device's identifiers are unknown; no model has that vendor.
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // What a technician knows the device by, each possibly empty. Linux: the serial as the
    // device reports it, the port chain ("1-1.2") and the printer node ("/dev/usb/lp0", empty
    // without a driver). Windows: the device instance's own part when it is the serial, the
    // location Device Manager shows ("Port_#0002.Hub_#0004") and the device interface path.
    std::string serial;
    std::string busPort;
    std::string node;
};

/// The search's matching rule: the device carries that vendor and product id.
inline bool HasIds(const UsbDeviceRecord& device, int vendorId, int productId) {
    return device.vendorId != 0 && device.vendorId == vendorId && device.productId == productId;
}

/// Lists the USB devices present; one implementation per platform.
class UsbDeviceSource {
public:
    virtual ~UsbDeviceSource() = default;
    /// The devices present now, in the platform's order; empty when none or when the listing
    /// itself is unavailable.
    virtual std::vector<UsbDeviceRecord> ListUsbDevices() = 0;
};

}  // namespace orlup

// The USB devices that sysfs lists, with the usblp node of each printer among them.
#include "platform/linux/SysfsUsbDevices.h"

#include "platform/linux/SysfsFiles.h"

namespace orlup {

namespace {

// Interfaces ("1-1:1.0") and root hubs ("usb1") share the folder with the devices.
bool IsDeviceName(const std::string& name) {
    return name.find(':') == std::string::npos && name.compare(0, 3, "usb") != 0;
}

// Only a name below the device root is accepted from the uevent text, which a driver writes.
bool IsSafeDevName(const std::string& devName) {
    return !devName.empty() && devName.front() != '/' && devName.find("..") == std::string::npos;
}

// usblp registers its node in the usbmisc class as "lpN" below the interface it bound.
std::string PrinterNode(const std::string& sysfsPath, const std::string& portName,
                        const std::string& devRoot) {
    for (const std::string& name : ListFolder(sysfsPath)) {
        if (name.compare(0, portName.size() + 1, portName + ":") != 0) continue;
        const std::string classFolder = sysfsPath + "/" + name + "/usbmisc";
        for (const std::string& node : ListFolder(classFolder)) {
            if (node.compare(0, 2, "lp") != 0) continue;
            const std::string devName =
                UeventValue(ReadAttribute(classFolder + "/" + node + "/uevent"), "DEVNAME");
            if (IsSafeDevName(devName)) return devRoot + "/" + devName;
        }
    }
    return "";
}

std::string Description(const UsbDeviceRecord& device, const std::string& manufacturer,
                        const std::string& product) {
    if (product.empty()) return device.devicePath;
    return manufacturer.empty() ? product : manufacturer + " " + product;
}

}  // namespace

bool ReadUsbDevice(const std::string& sysfsPath, const std::string& devRoot,
                   UsbDeviceRecord* device) {
    UsbDeviceRecord found;
    // A device that is gone has no ids to read.
    if (!ParseHexId(ReadAttribute(sysfsPath + "/idVendor"), &found.vendorId) ||
        !ParseHexId(ReadAttribute(sysfsPath + "/idProduct"), &found.productId)) {
        return false;
    }
    found.devicePath = sysfsPath;
    found.busPort = BaseName(sysfsPath);
    found.serial = ReadAttribute(sysfsPath + "/serial");
    found.description = Description(found, ReadAttribute(sysfsPath + "/manufacturer"),
                                    ReadAttribute(sysfsPath + "/product"));
    found.node = PrinterNode(sysfsPath, found.busPort, devRoot);
    *device = found;
    return true;
}

SysfsUsbDevices::SysfsUsbDevices(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

std::vector<UsbDeviceRecord> SysfsUsbDevices::ListUsbDevices() {
    const std::string folder = sysfsRoot_ + "/bus/usb/devices";
    std::vector<UsbDeviceRecord> devices;
    for (const std::string& name : ListFolder(folder)) {
        UsbDeviceRecord device;
        // A device that vanished between the listing and these reads has no ids: skipped.
        if (IsDeviceName(name) && ReadUsbDevice(folder + "/" + name, devRoot_, &device)) {
            devices.push_back(device);
        }
    }
    return devices;
}

}  // namespace orlup

// The USB devices sysfs lists, named by device interface paths, and the usblp node behind each.
#include "platform/linux/SysfsUsbDevices.h"

#include <algorithm>
#include <cstdio>

#include "platform/ErrorCodes.h"
#include "platform/linux/SysfsFiles.h"

namespace orlup {

namespace {

std::string BusFolder(const std::string& sysfsRoot) { return sysfsRoot + "/bus/usb/devices"; }

// Interfaces ("1-1:1.0") and root hubs ("usb1") share the folder with the devices.
bool IsDeviceName(const std::string& name) {
    return name.find(':') == std::string::npos && name.compare(0, 3, "usb") != 0;
}

bool ReadIds(const std::string& sysfsPath, uint16_t* vendorId, uint16_t* productId) {
    std::string vendor, product;
    return ReadAttribute(sysfsPath + "/idVendor", &vendor) &&
           ReadAttribute(sysfsPath + "/idProduct", &product) && ParseHexId(vendor, vendorId) &&
           ParseHexId(product, productId);
}

// A device that vanished between the listing and these reads has no ids and is skipped.
bool ReadDevice(const std::string& sysfsRoot, const std::string& portName, UsbDeviceEntry* device) {
    device->portName = portName;
    device->sysfsPath = BusFolder(sysfsRoot) + "/" + portName;
    if (!ReadIds(device->sysfsPath, &device->vendorId, &device->productId)) {
        return false;
    }
    ReadAttribute(device->sysfsPath + "/serial", &device->serial);
    ReadAttribute(device->sysfsPath + "/manufacturer", &device->manufacturer);
    ReadAttribute(device->sysfsPath + "/product", &device->product);
    return true;
}

// '#' separates the parts of the path and slashes would read as folders; blanks would need
// quoting wherever a technician pastes the path.
bool IsWellFormedSerial(const std::string& serial) {
    if (serial.empty()) {
        return false;
    }
    return std::all_of(serial.begin(), serial.end(), [](char c) {
        return c > ' ' && c <= '~' && c != '#' && c != '\\' && c != '/';
    });
}

bool SameModel(const UsbDeviceEntry& a, const UsbDeviceEntry& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId;
}

// Two devices of one model must never share a path, so a serial that another device of the
// model also reports, or that equals another one's port name, is not used.
bool IsUsableSerial(const UsbDeviceEntry& device, const std::vector<UsbDeviceEntry>& devices) {
    if (!IsWellFormedSerial(device.serial)) {
        return false;
    }
    return std::none_of(devices.begin(), devices.end(), [&](const UsbDeviceEntry& other) {
        return &other != &device && SameModel(other, device) &&
               (other.serial == device.serial || other.portName == device.serial);
    });
}

void AssignDevicePaths(std::vector<UsbDeviceEntry>* devices) {
    for (UsbDeviceEntry& device : *devices) {
        const std::string& instance =
            IsUsableSerial(device, *devices) ? device.serial : device.portName;
        device.devicePath = DeviceInterfacePath(device.vendorId, device.productId, instance);
    }
}

// Only a name below the device root is accepted from the uevent text.
bool IsSafeDevName(const std::string& devName) {
    return !devName.empty() && devName.front() != '/' && devName.find("..") == std::string::npos;
}

// usblp registers its node in the usbmisc class as "lpN" below the interface it bound.
bool FindPrinterDevName(const UsbDeviceEntry& device, std::string* devName) {
    std::vector<std::string> names;
    if (!ListFolder(device.sysfsPath, &names)) {
        return false;
    }
    for (const std::string& name : names) {
        if (name.compare(0, device.portName.size() + 1, device.portName + ":") != 0) {
            continue;
        }
        const std::string classFolder = device.sysfsPath + "/" + name + "/usbmisc";
        std::vector<std::string> nodes;
        if (!ListFolder(classFolder, &nodes)) {
            continue;
        }
        for (const std::string& node : nodes) {
            std::string uevent;
            if (node.compare(0, 2, "lp") == 0 &&
                ReadAttribute(classFolder + "/" + node + "/uevent", &uevent) &&
                FindUeventValue(uevent, "DEVNAME", devName) && IsSafeDevName(*devName)) {
                return true;
            }
        }
    }
    return false;
}

// The port may have been handed to another device since the scan.
bool IsStillTheDevice(const UsbDeviceEntry& device) {
    uint16_t vendorId = 0, productId = 0;
    return ReadIds(device.sysfsPath, &vendorId, &productId) && vendorId == device.vendorId &&
           productId == device.productId;
}

}  // namespace

bool ScanUsbDevices(const std::string& sysfsRoot, std::vector<UsbDeviceEntry>* devices) {
    std::vector<std::string> names;
    if (!ListFolder(BusFolder(sysfsRoot), &names)) {
        return false;
    }
    devices->clear();
    for (const std::string& name : names) {
        UsbDeviceEntry device;
        if (IsDeviceName(name) && ReadDevice(sysfsRoot, name, &device)) {
            devices->push_back(device);
        }
    }
    AssignDevicePaths(devices);
    return true;
}

std::string DeviceInterfacePath(uint16_t vendorId, uint16_t productId,
                                const std::string& instance) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendorId, productId);
    return std::string("\\\\?\\usb#") + ids + "#" + instance +
           "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

uint32_t ResolveDeviceNode(const std::string& devicePath, std::string* node,
                           const std::string& sysfsRoot, const std::string& devRoot) {
    std::vector<UsbDeviceEntry> devices;
    if (!ScanUsbDevices(sysfsRoot, &devices)) {
        return ErrorCode::FileNotFound;
    }
    const auto device = std::find_if(devices.begin(), devices.end(), [&](const auto& entry) {
        return entry.devicePath == devicePath;
    });
    if (device == devices.end()) {
        return ErrorCode::FileNotFound;
    }
    std::string devName;
    const bool hasPrinter = FindPrinterDevName(*device, &devName);
    if (!IsStillTheDevice(*device)) {
        return ErrorCode::FileNotFound;
    }
    if (!hasPrinter) {
        return ErrorCode::NotSupported;
    }
    *node = devRoot + "/" + devName;
    return ErrorCode::Success;
}

}  // namespace orlup

// Lists the present USB device interfaces of one class, each with its path and a description.
#pragma once

#include <string>
#include <vector>

#include "platform/LibraryApi.h"
#include "usb/SetupApiBinding.h"
#include "usb/SetupApiTypes.h"

namespace orlup {

struct UsbDeviceRecord {
    std::string devicePath;
    /// The friendly name, else the device description, else the device path.
    std::string description;
};

class UsbDeviceEnumerator {
public:
    UsbDeviceEnumerator(const Guid& interfaceClass, LibraryApi& libraries);

    /// Appends the present interfaces to records and returns how many records there are;
    /// 0 when the Setup API cannot be bound or the device set cannot be opened.
    int Enumerate();

    const std::vector<UsbDeviceRecord>& records() const { return records_; }

private:
    void AppendRecord(SetupApiBinding& api, DeviceInfoSet set, DeviceInterfaceData& interfaceData);

    Guid interfaceClass_;
    LibraryApi& libraries_;
    std::vector<UsbDeviceRecord> records_;
};

}  // namespace orlup

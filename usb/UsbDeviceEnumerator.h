// Lists the present USB device interfaces of one class through the Setup API: the device
// listing of Windows, portable so that it is tested against a scripted Setup API anywhere.
#pragma once

#include <string>
#include <vector>

#include "usb/LibraryApi.h"
#include "usb/SetupApiBinding.h"
#include "usb/SetupApiTypes.h"
#include "usb/UsbDevices.h"

namespace orlup {

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

/// The serial number in a device interface path "\\?\usb#vid_...&pid_...#INSTANCE#{class}":
/// the instance part, unless it holds '&', which marks the one Windows makes up for a device
/// without a usable serial; empty for any other path.
std::string DevicePathSerial(const std::string& devicePath);

/// The vendor and product id of a device interface path that begins with
/// "\\?\usb#vid_%04.4x&pid_%04.4x" exactly (lower-case hexadecimal); false, and both ids 0,
/// for any other path.
bool DevicePathIds(const std::string& devicePath, uint16_t* vendorId, uint16_t* productId);

/// The USB devices of GUID_DEVINTERFACE_USB_DEVICE, one enumeration per listing.
class SetupApiDeviceSource : public UsbDeviceSource {
public:
    explicit SetupApiDeviceSource(LibraryApi& libraries) : libraries_(libraries) {}
    std::vector<UsbDeviceRecord> ListUsbDevices() override;

private:
    LibraryApi& libraries_;
};

}  // namespace orlup

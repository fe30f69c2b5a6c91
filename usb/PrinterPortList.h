// The printers of one vendor and product id that are attached and free, handed out by claiming.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "usb/DeviceFileApi.h"
#include "usb/PrinterPort.h"
#include "usb/UsbDevices.h"

namespace orlup {

/// A printer of the model that the search had to leave out, and why it could not be opened.
struct SkippedPrinter {
    UsbDeviceRecord device;
    uint32_t error;
};

class PrinterPortList {
public:
    PrinterPortList(UsbDeviceSource& devices, DeviceFileApi& files);
    virtual ~PrinterPortList();
    PrinterPortList(const PrinterPortList&) = delete;
    PrinterPortList& operator=(const PrinterPortList&) = delete;

    /// Appends every matching device that can be opened exclusively right now (each is opened
    /// once and closed again) and returns the number of ports in the list.
    int Find(int vendorId, int productId);

    /// The port at position, or with -1 the first free one; null when there is none to hand out.
    PrinterPort* Claim(int position);

    /// Closes a claimed port and makes it free again; a port not in this list changes nothing.
    void Release(PrinterPort* port);

    /// Devices the last Find listed, matching or not.
    int deviceCount() const { return deviceCount_; }
    const std::vector<PrinterPort>& ports() const { return ports_; }
    /// Matching devices that Find left out because they could not be opened.
    const std::vector<SkippedPrinter>& skipped() const { return skipped_; }

private:
    UsbDeviceSource& devices_;
    DeviceFileApi& files_;
    std::vector<PrinterPort> ports_;
    std::vector<uint8_t> claimed_;
    std::vector<SkippedPrinter> skipped_;
    int deviceCount_ = 0;
};

}  // namespace orlup

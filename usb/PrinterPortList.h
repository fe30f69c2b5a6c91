// The printers of one vendor and product id that are attached and free, handed out by claiming.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileApi.h"
#include "platform/LibraryApi.h"
#include "usb/PrinterPort.h"

namespace orlup {

class PrinterPortList {
public:
    PrinterPortList(LibraryApi& libraries, FileApi& files);
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

    /// Device interfaces the last Find enumerated, matching or not.
    int deviceCount() const { return deviceCount_; }
    const std::vector<PrinterPort>& ports() const { return ports_; }

private:
    LibraryApi& libraries_;
    FileApi& files_;
    std::vector<PrinterPort> ports_;
    std::vector<uint8_t> claimed_;
    int deviceCount_ = 0;
};

/// "\\?\usb#vid_%04.4x&pid_%04.4x": the start of every device path of that vendor and product.
std::string DevicePathPrefix(int vendorId, int productId);

}  // namespace orlup

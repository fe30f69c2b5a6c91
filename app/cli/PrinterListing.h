// "orlup-cli list": every present Ilvaran and Ilvaran-II printer and whether it can be opened now.
#pragma once

#include <iosfwd>
#include <string>

#include "usb/DeviceFileApi.h"
#include "usb/UsbDevices.h"

namespace orlup {

/// A header, then one line per printer: model, serial, bus-port, node and status; returns how
/// many printers were listed.
int ListPrinters(UsbDeviceSource& devices, DeviceFileApi& files, std::ostream& out);

/// "ready", or why the printer cannot be opened now.
std::string PrinterStatus(DeviceFileApi& files, const UsbDeviceRecord& device);

}  // namespace orlup

// "orlup-cli list" and what the other commands show of a printer.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "text/PrintableText.h"
#include "update/FirmwareModel.h"
#include "usb/DeviceFileApi.h"
#include "usb/UsbDevices.h"

namespace orlup {

/// "serial/bus-port" as list shows them, printable.
std::string PrinterLabel(const UsbDeviceRecord& device);

/// The model whose ids the device carries; null for any other device.
const FirmwareModel* ModelOfDevice(const UsbDeviceRecord& device);

/// "ready", or why the printer cannot be opened now.
std::string PrinterStatus(DeviceFileApi& files, const UsbDeviceRecord& device);

/// Why a printer could not be opened, and what to do about it.
std::string OpenFailureReason(uint32_t code);

/// The printers among devices, as a table (a header, then model, serial, bus-port, node and
/// status) or as a JSON array; returns how many were listed.
int ListPrinters(const std::vector<UsbDeviceRecord>& devices, DeviceFileApi& files, bool json,
                 std::ostream& out);

/// The printers whose serial, bus-port or node is id, which is not empty: an empty one would
/// name every printer without a serial.
std::vector<UsbDeviceRecord> PrintersNamed(const std::vector<UsbDeviceRecord>& devices,
                                           const std::string& id);

}  // namespace orlup

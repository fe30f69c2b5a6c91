// The printer listing of the command-line host.
#include "PrinterListing.h"

#include <iomanip>
#include <ostream>

#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "update/FirmwareModel.h"

namespace orlup {

namespace {

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

void PrintRow(std::ostream& out, const std::string& model, const std::string& serial,
              const std::string& busPort, const std::string& node, const std::string& status) {
    out << std::left << std::setw(12) << model << std::setw(20) << serial << std::setw(10)
        << busPort << std::setw(16) << node << status << '\n';
}

}  // namespace

std::string PrinterStatus(DeviceFileApi& files, const UsbDeviceRecord& device) {
    const FileHandle handle = files.OpenDevice(device);
    if (handle != InvalidFileHandle) {
        files.Close(handle);
        return "ready";
    }
    switch (const uint32_t code = files.LastError()) {
        case ErrorCode::Busy:
        case ErrorCode::SharingViolation:
            return "busy";
        case ErrorCode::AccessDenied:
            return "access denied";
        case ErrorCode::NotSupported:
            return "no printer driver bound";
        default:
            return ErrorText(code);
    }
}

int ListPrinters(UsbDeviceSource& devices, DeviceFileApi& files, std::ostream& out) {
    const std::vector<UsbDeviceRecord> present = devices.ListUsbDevices();
    int listed = 0;
    for (const FirmwareModel& model : FirmwareModels) {
        for (const UsbDeviceRecord& device : present) {
            if (!HasIds(device, model.vendorId, model.productId)) continue;
            if (listed++ == 0) PrintRow(out, "MODEL", "SERIAL", "BUS-PORT", "NODE", "STATUS");
            PrintRow(out, model.modelName, OrDash(device.serial), OrDash(device.busPort),
                     OrDash(device.node), PrinterStatus(files, device));
        }
    }
    return listed;
}

}  // namespace orlup

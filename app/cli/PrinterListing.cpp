// "orlup-cli list" and what the other commands show of a printer.
#include "PrinterListing.h"

#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>

#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/SystemTerms.h"

namespace orlup {

namespace {

void PrintRow(std::ostream& out, const std::string& model, const std::string& serial,
              const std::string& busPort, const std::string& node, const std::string& status) {
    out << std::left << std::setw(12) << model << std::setw(20) << serial << std::setw(10)
        << busPort << std::setw(16) << node << status << '\n';
}

}  // namespace

std::string PrinterLabel(const UsbDeviceRecord& device) {
    return OrDash(device.serial) + "/" + OrDash(device.busPort);
}

const FirmwareModel* ModelOfDevice(const UsbDeviceRecord& device) {
    for (const FirmwareModel& model : FirmwareModels) {
        if (HasIds(device, model.vendorId, model.productId)) return &model;
    }
    return nullptr;
}

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

std::string OpenFailureReason(uint32_t code) {
    switch (code) {
        case ErrorCode::AccessDenied:
            return SystemTerms::AccessDenied;
        case ErrorCode::Busy:
        case ErrorCode::SharingViolation:
            return "busy - another program (a print queue?) holds it";
        default:
            return ErrorText(code);
    }
}

int ListPrinters(const std::vector<UsbDeviceRecord>& devices, DeviceFileApi& files, bool json,
                 std::ostream& out) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    int listed = 0;
    for (const FirmwareModel& model : FirmwareModels) {
        for (const UsbDeviceRecord& device : devices) {
            if (!HasIds(device, model.vendorId, model.productId)) continue;
            const std::string status = PrinterStatus(files, device);
            if (listed++ == 0 && !json)
                PrintRow(out, "MODEL", "SERIAL", "BUS-PORT", "NODE", "STATUS");
            if (json) {
                array.push_back({{"model", model.modelName},
                                 {"serial", device.serial},
                                 {"busPort", device.busPort},
                                 {"node", device.node},
                                 {"description", device.description},
                                 {"status", status}});
                continue;
            }
            PrintRow(out, model.modelName, OrDash(device.serial), OrDash(device.busPort),
                     OrDash(device.node), status);
        }
    }
    // Device strings need not be UTF-8; what is not becomes U+FFFD rather than a broken array.
    if (json) out << array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    return listed;
}

std::vector<UsbDeviceRecord> PrintersNamed(const std::vector<UsbDeviceRecord>& devices,
                                           const std::string& id) {
    std::vector<UsbDeviceRecord> named;
    for (const UsbDeviceRecord& device : devices) {
        if (ModelOfDevice(device) == nullptr) continue;
        if (device.serial == id || device.busPort == id || device.node == id) {
            named.push_back(device);
        }
    }
    return named;
}

}  // namespace orlup

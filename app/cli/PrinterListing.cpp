// The printer listing of the command-line host.
#include "PrinterListing.h"

#include <ostream>

#include "platform/ErrorCodes.h"
#include "text/ErrorText.h"
#include "update/FirmwareModel.h"
#include "usb/PrinterPortList.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup {

std::string PrinterStatus(FileApi& files, const std::string& devicePath) {
    const FileHandle handle = files.OpenDevice(devicePath);
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

void ListPrinters(LibraryApi& libraries, FileApi& files, NodeLookup nodeOf, std::ostream& out) {
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, libraries);
    enumerator.Enumerate();
    int listed = 0;
    for (const FirmwareModel& model : FirmwareModels) {
        const std::string prefix = DevicePathPrefix(model.vendorId, model.productId);
        for (const UsbDeviceRecord& record : enumerator.records()) {
            if (record.devicePath.compare(0, prefix.size(), prefix) != 0) continue;
            out << model.modelName << '\t' << record.devicePath << '\t'
                << nodeOf(record.devicePath) << '\t' << record.description << '\t'
                << PrinterStatus(files, record.devicePath) << '\n';
            ++listed;
        }
    }
    if (listed == 0) out << "No Ilvaran or Ilvaran-II printers attached\n";
}

}  // namespace orlup

// The per-attempt list of free printers of one vendor and product id.
#include "usb/PrinterPortList.h"

#include "text/MessageText.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup {

std::string DevicePathPrefix(int vendorId, int productId) {
    return FormatText("\\\\?\\usb#vid_%.4x&pid_%.4x", vendorId, productId);
}

PrinterPortList::PrinterPortList(LibraryApi& libraries, FileApi& files)
    : libraries_(libraries), files_(files) {}

PrinterPortList::~PrinterPortList() = default;

int PrinterPortList::Find(int vendorId, int productId) {
    const std::string prefix = DevicePathPrefix(vendorId, productId);
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, libraries_);
    deviceCount_ = enumerator.Enumerate();
    for (int position = 0; position < deviceCount_; ++position) {
        const std::string& path = enumerator.records()[position].devicePath;
        if (path.compare(0, prefix.size(), prefix) != 0) continue;
        // The test open is what leaves out a printer that another program holds.
        PrinterPort port(files_, path, position);
        // A port that will not close stays out: every listed port must be closed.
        if (!port.isOpen() || !port.Close()) continue;
        ports_.push_back(std::move(port));
        claimed_.push_back(0);
    }
    return static_cast<int>(claimed_.size());
}

PrinterPort* PrinterPortList::Claim(int position) {
    if (position == -1) {
        for (std::size_t i = 0; i < claimed_.size(); ++i) {
            if (claimed_[i] == 0) {
                claimed_[i] = 1;
                return &ports_[i];
            }
        }
        return nullptr;
    }
    const auto index = static_cast<std::size_t>(static_cast<unsigned int>(position));
    if (index >= claimed_.size() || claimed_[index] != 0) return nullptr;
    claimed_[index] = 1;
    return &ports_[index];
}

void PrinterPortList::Release(PrinterPort* port) {
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (&ports_[i] == port) {
            ports_[i].Close();
            claimed_[i] = 0;
            return;
        }
    }
}

}  // namespace orlup

// The per-attempt list of free printers of one vendor and product id.
#include "usb/PrinterPortList.h"

namespace orlup {

PrinterPortList::PrinterPortList(UsbDeviceSource& devices, DeviceFileApi& files)
    : devices_(devices), files_(files) {}

PrinterPortList::~PrinterPortList() = default;

int PrinterPortList::Find(int vendorId, int productId) {
    const std::vector<UsbDeviceRecord> devices = devices_.ListUsbDevices();
    deviceCount_ = static_cast<int>(devices.size());
    for (int position = 0; position < deviceCount_; ++position) {
        const UsbDeviceRecord& device = devices[static_cast<std::size_t>(position)];
        if (!HasIds(device, vendorId, productId)) continue;
        // The test open is what leaves out a printer that another program holds.
        PrinterPort port(files_, device, position);
        if (!port.isOpen()) {
            skipped_.push_back(SkippedPrinter{device, port.lastError()});
            continue;
        }
        // A port that will not close stays out, since every listed port must be closed; its
        // handle is not closed a second time.
        if (!port.Close()) {
            port.Abandon();
            continue;
        }
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

// The per-attempt list of free printers of one vendor and product id.
#include "usb/PrinterPortList.h"

#include <algorithm>

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
    // A negative position other than -1 becomes one far past the end.
    std::size_t index = static_cast<unsigned int>(position);
    if (position == -1) {
        index = static_cast<std::size_t>(std::find(claimed_.begin(), claimed_.end(), 0) -
                                         claimed_.begin());
    }
    if (index >= claimed_.size() || claimed_[index] != 0) return nullptr;
    claimed_[index] = 1;
    return &ports_[index];
}

void PrinterPortList::Release(PrinterPort* port) {
    for (PrinterPort& listed : ports_) {
        if (&listed != port) continue;
        listed.Close();
        claimed_[static_cast<std::size_t>(&listed - ports_.data())] = 0;
    }
}

}  // namespace orlup

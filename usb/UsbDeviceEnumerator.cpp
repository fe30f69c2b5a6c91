// Enumeration of the present USB device interfaces through the Setup API.
#include "usb/UsbDeviceEnumerator.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace orlup {

namespace {

constexpr uint32_t DescriptionSize = 256;
// Far beyond any device path the service reports; a larger size is no size the heap should
// be asked for, so such an interface counts as unreadable.
constexpr uint32_t LargestDetail = 64 * 1024;
constexpr char PathStart[] = "\\\\?\\usb#vid_";
constexpr char ProductStart[] = "&pid_";

/// Room for the detail record the service asked for, aligned for its cbSize field.
class DetailBuffer {
public:
    explicit DetailBuffer(uint32_t size) : words_((std::size_t{size} + 7) / 8), size_(size) {}
    DeviceInterfaceDetailData* get() {
        return reinterpret_cast<DeviceInterfaceDetailData*>(words_.data());
    }
    uint32_t size() const { return size_; }
    /// The path, never read past the buffer even if the service left it unterminated.
    std::string Path() {
        const std::size_t room = size_ - offsetof(DeviceInterfaceDetailData, devicePath);
        const char* path = get()->devicePath;
        return std::string(path, strnlen(path, room));
    }

private:
    std::vector<uint64_t> words_;
    uint32_t size_;
};

bool ReadProperty(SetupApiBinding& api, DeviceInfoSet set, DevInfoData& device, uint32_t property,
                  char (&text)[DescriptionSize]) {
    std::memset(text, 0, sizeof text);
    if (!api.SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr,
                                               reinterpret_cast<uint8_t*>(text), DescriptionSize,
                                               nullptr)) {
        return false;
    }
    text[DescriptionSize - 1] = '\0';
    return true;
}

// Four lower-case hexadecimal digits, as "%04.4x" writes them. The caller has matched the text
// up to at, and a text that ends sooner ends in its terminator, which is no digit.
bool ParseId(const std::string& text, std::size_t at, uint16_t* id) {
    uint16_t value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        value = static_cast<uint16_t>(value * 16 + digit);
    }
    *id = value;
    return true;
}

}  // namespace

std::string DevicePathSerial(const std::string& devicePath) {
    constexpr std::size_t none = std::string::npos;
    const std::size_t ids = devicePath.find('#');
    const std::size_t start = ids == none ? none : devicePath.find('#', ids + 1);
    const std::size_t end = start == none ? none : devicePath.find('#', start + 1);
    if (end == none) return "";
    const std::string instance = devicePath.substr(start + 1, end - start - 1);
    return instance.find('&') == none ? instance : "";
}

bool DevicePathIds(const std::string& devicePath, uint16_t* vendorId, uint16_t* productId) {
    const std::size_t vendorAt = sizeof PathStart - 1;
    const std::size_t productAt = vendorAt + 4 + sizeof ProductStart - 1;
    // The vendor id is parsed before "&pid_" is looked for behind it: a path that ends inside
    // the vendor id has no position there, and compare would throw.
    const bool matched =
        devicePath.compare(0, vendorAt, PathStart) == 0 &&
        ParseId(devicePath, vendorAt, vendorId) &&
        devicePath.compare(vendorAt + 4, sizeof ProductStart - 1, ProductStart) == 0 &&
        ParseId(devicePath, productAt, productId);
    if (!matched) *vendorId = *productId = 0;
    return matched;
}

std::vector<UsbDeviceRecord> SetupApiDeviceSource::ListUsbDevices() {
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, libraries_);
    enumerator.Enumerate();
    return enumerator.records();
}

UsbDeviceEnumerator::UsbDeviceEnumerator(const Guid& interfaceClass, LibraryApi& libraries)
    : interfaceClass_(interfaceClass), libraries_(libraries) {}

int UsbDeviceEnumerator::Enumerate() {
    SetupApiBinding api(libraries_);
    if (!api.Load()) return 0;
    DeviceInfoSet set = api.SetupDiGetClassDevsA(&interfaceClass_, nullptr, nullptr,
                                                 DigcfPresent | DigcfDeviceInterface);
    if (set == InvalidDeviceInfoSet()) return 0;

    DeviceInterfaceData interfaceData{};
    interfaceData.cbSize = sizeof(DeviceInterfaceData);
    for (uint32_t index = 0;
         api.SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass_, index, &interfaceData);
         ++index) {
        AppendRecord(api, set, interfaceData);
    }
    api.SetupDiDestroyDeviceInfoList(set);
    return static_cast<int>(records_.size());
}

void UsbDeviceEnumerator::AppendRecord(SetupApiBinding& api, DeviceInfoSet set,
                                       DeviceInterfaceData& interfaceData) {
    uint32_t requiredSize = 0;
    api.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &requiredSize, nullptr);
    // A size with no room for a path is no size at all: the interface cannot be read.
    if (requiredSize <= offsetof(DeviceInterfaceDetailData, devicePath) ||
        requiredSize > LargestDetail) {
        return;
    }

    DetailBuffer detail(std::max<uint32_t>(requiredSize, sizeof(DeviceInterfaceDetailData)));
    detail.get()->cbSize = sizeof(DeviceInterfaceDetailData);
    DevInfoData device{};
    device.cbSize = sizeof(DevInfoData);
    if (!api.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail.get(), detail.size(),
                                              nullptr, &device)) {
        return;
    }
    const std::string devicePath = detail.Path();
    char description[DescriptionSize];
    if (!ReadProperty(api, set, device, SpdrpFriendlyName, description) &&
        !ReadProperty(api, set, device, SpdrpDeviceDesc, description)) {
        // A path too long for the buffer is cut, as the buffer always was.
        std::memset(description, 0, sizeof description);
        devicePath.copy(description, DescriptionSize - 1);
    }
    UsbDeviceRecord record;
    record.devicePath = devicePath;
    record.description = description;
    DevicePathIds(devicePath, &record.vendorId, &record.productId);
    record.serial = DevicePathSerial(devicePath);
    char location[DescriptionSize];
    if (ReadProperty(api, set, device, SpdrpLocationInformation, location)) {
        record.busPort = location;
    }
    // What the port opens, as the node is on Linux.
    record.node = devicePath;
    records_.push_back(record);
}

}  // namespace orlup

// Enumeration of the present USB device interfaces through the Setup API.
#include "usb/UsbDeviceEnumerator.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace orlup {

namespace {

constexpr uint32_t DescriptionSize = 256;

/// Room for the detail record the service asked for, aligned for its cbSize field.
class DetailBuffer {
public:
    explicit DetailBuffer(uint32_t size) : words_((size + 7) / 8), size_(size) {}
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

bool ReadProperty(SetupApiBinding& api, DeviceInfoSet set, DevInfoData& device,
                  uint32_t property, char (&text)[DescriptionSize]) {
    std::memset(text, 0, sizeof text);
    if (!api.SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr,
                                               reinterpret_cast<uint8_t*>(text), DescriptionSize,
                                               nullptr)) {
        return false;
    }
    text[DescriptionSize - 1] = '\0';
    return true;
}

}  // namespace

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
    if (requiredSize <= offsetof(DeviceInterfaceDetailData, devicePath)) return;

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
    records_.push_back(UsbDeviceRecord{devicePath, description});
}

}  // namespace orlup

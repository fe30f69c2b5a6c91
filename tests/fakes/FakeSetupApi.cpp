// A scripted device-setup service: every device set is the fake itself.
#include "fakes/FakeSetupApi.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "usb/SetupApiTypes.h"

namespace orlup::test {

namespace {

FakeSetupApi* current = nullptr;

DeviceInfoSet GetClassDevs(const Guid*, const char*, void*, uint32_t flags) {
    if (flags != (DigcfPresent | DigcfDeviceInterface)) return InvalidDeviceInfoSet();
    ++current->setsOpen;
    return current;
}

int EnumDeviceInterfaces(DeviceInfoSet, DevInfoData*, const Guid*, uint32_t index,
                         DeviceInterfaceData* data) {
    if (index >= current->interfaces.size() || data->cbSize != sizeof(DeviceInterfaceData)) {
        return 0;
    }
    data->reserved = index;
    return 1;
}

int GetDetail(DeviceInfoSet, DeviceInterfaceData* data, DeviceInterfaceDetailData* detail,
              uint32_t detailSize, uint32_t* requiredSize, DevInfoData* device) {
    const FakeInterface& entry = current->interfaces.at(data->reserved);
    const auto needed = static_cast<uint32_t>(offsetof(DeviceInterfaceDetailData, devicePath) +
                                              entry.devicePath.size() + 1);
    if (requiredSize != nullptr) *requiredSize = needed;
    if (detail == nullptr || detailSize < needed ||
        detail->cbSize != sizeof(DeviceInterfaceDetailData)) {
        return 0;
    }
    std::memcpy(detail->devicePath, entry.devicePath.c_str(), entry.devicePath.size() + 1);
    if (device != nullptr) device->devInst = static_cast<uint32_t>(data->reserved);
    return 1;
}

int GetProperty(DeviceInfoSet, DevInfoData* device, uint32_t property, uint32_t*, uint8_t* buffer,
                uint32_t bufferSize, uint32_t*) {
    const FakeInterface& entry = current->interfaces.at(device->devInst);
    const std::string& value = property == SpdrpFriendlyName          ? entry.friendlyName
                               : property == SpdrpDeviceDesc          ? entry.deviceDesc
                               : property == SpdrpLocationInformation ? entry.location
                                                                      : std::string();
    if (value.empty() || value.size() + 1 > bufferSize) return 0;
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return 1;
}

int DestroyList(DeviceInfoSet) {
    --current->setsOpen;
    return 1;
}

}  // namespace

FakeSetupApi::~FakeSetupApi() {
    if (current == this) current = nullptr;
}

FakeInterface& FakeSetupApi::Add(const std::string& devicePath) {
    interfaces.emplace_back().devicePath = devicePath;
    return interfaces.back();
}

ModuleHandle FakeSetupApi::LoadLibraryA(const char* name) {
    if (std::strcmp(name, "setupapi.dll") != 0) return nullptr;
    ++loads;
    current = this;
    return this;
}

ProcAddress FakeSetupApi::GetProcAddress(ModuleHandle, const char* name) {
    const std::pair<std::string, ProcAddress> entries[] = {
        {"SetupDiGetClassDevsA", reinterpret_cast<ProcAddress>(&GetClassDevs)},
        {"SetupDiEnumDeviceInterfaces", reinterpret_cast<ProcAddress>(&EnumDeviceInterfaces)},
        {"SetupDiGetDeviceInterfaceDetailA", reinterpret_cast<ProcAddress>(&GetDetail)},
        {"SetupDiGetDeviceRegistryPropertyA", reinterpret_cast<ProcAddress>(&GetProperty)},
        {"SetupDiDestroyDeviceInfoList", reinterpret_cast<ProcAddress>(&DestroyList)}};
    for (const auto& [entry, proc] : entries) {
        if (entry == name) return proc;
    }
    return nullptr;
}

}  // namespace orlup::test

// A scripted device-setup service: every device set is the fake itself.
#include "fakes/FakeSetupApi.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace orlup::test {

namespace {

FakeSetupApi* current = nullptr;

DeviceInfoSet GetClassDevs(const Guid*, const char*, void*, uint32_t flags) {
    if (current->setFails || flags != (DigcfPresent | DigcfDeviceInterface))
        return InvalidDeviceInfoSet();
    ++current->setsOpen;
    return current;
}

int EnumDeviceInterfaces(DeviceInfoSet, DevInfoData*, const Guid*, uint32_t index,
                         DeviceInterfaceData* data) {
    current->misused |= data->cbSize != sizeof *data;
    data->reserved = index;
    return index < current->interfaces.size();
}

// A service writes no further than the size it is given, but need not terminate what it writes.
int GetDetail(DeviceInfoSet, DeviceInterfaceData* data, DeviceInterfaceDetailData* detail,
              uint32_t detailSize, uint32_t* requiredSize, DevInfoData* device) {
    const FakeInterface& entry = current->interfaces.at(data->reserved);
    const std::size_t pathSize = entry.devicePath.size() + 1;
    const uint32_t told = entry.reportedSize.value_or(DetailPathOffset + pathSize);
    if (requiredSize != nullptr) *requiredSize = told;
    if (detail == nullptr || entry.detailFails) return 0;
    current->misused |= detail->cbSize != sizeof *detail || device->cbSize != sizeof *device ||
                        detailSize <= DetailPathOffset ||
                        detailSize > std::max<uint32_t>(told, sizeof *detail);
    if (current->misused) return 0;
    std::memcpy(detail->devicePath, entry.devicePath.c_str(),
                std::min(detailSize - DetailPathOffset, pathSize));
    current->detailed.push_back(device->devInst = static_cast<uint32_t>(data->reserved));
    return 1;
}

// What fits, without a terminator, as a registry string may be stored; a failing call may have
// scribbled in the buffer too.
int GetProperty(DeviceInfoSet, DevInfoData* device, uint32_t property, uint32_t*, uint8_t* buffer,
                uint32_t bufferSize, uint32_t*) {
    const FakeInterface& entry = current->interfaces.at(device->devInst);
    const std::optional<std::string>& value = property == SpdrpFriendlyName ? entry.friendlyName
                                              : property == SpdrpDeviceDesc ? entry.deviceDesc
                                                                            : entry.location;
    const std::string written = value.value_or("scribbled");
    std::memcpy(buffer, written.c_str(), std::min<std::size_t>(bufferSize, written.size()));
    return value.has_value();
}

int DestroyList(DeviceInfoSet) {
    --current->setsOpen;
    return 1;
}

}  // namespace

ModuleHandle FakeSetupApi::LoadLibraryA(const char* name) {
    if (libraryMissing || std::strcmp(name, "setupapi.dll") != 0) return nullptr;
    ++loads;
    current = this;
    return this;
}

ProcAddress FakeSetupApi::GetProcAddress(ModuleHandle, const char* name) {
    lookedUp.emplace_back(name);
    const std::pair<std::string, ProcAddress> entries[] = {
        {"SetupDiGetClassDevsA", reinterpret_cast<ProcAddress>(&GetClassDevs)},
        {"SetupDiEnumDeviceInterfaces", reinterpret_cast<ProcAddress>(&EnumDeviceInterfaces)},
        {"SetupDiGetDeviceInterfaceDetailA", reinterpret_cast<ProcAddress>(&GetDetail)},
        {"SetupDiGetDeviceRegistryPropertyA", reinterpret_cast<ProcAddress>(&GetProperty)},
        {"SetupDiDestroyDeviceInfoList", reinterpret_cast<ProcAddress>(&DestroyList)}};
    for (const auto& [entry, proc] : entries) {
        if (entry == name && lookedUp.size() != missingEntry) return proc;
    }
    return nullptr;
}

}  // namespace orlup::test

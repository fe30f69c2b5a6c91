// A scripted device-setup service: the five entry points read the fake that was loaded last.
#include "fakes/FakeSetupApi.h"

#include <cstddef>
#include <cstring>

#include "usb/SetupApiTypes.h"

namespace orlup::test {

namespace {

FakeSetupApi* current = nullptr;  // the entry points are plain functions, as the real ones are

struct FakeSet {
    std::vector<FakeInterface> interfaces;
};

FakeSet* SetOf(DeviceInfoSet set) { return static_cast<FakeSet*>(set); }

DeviceInfoSet GetClassDevs(const Guid*, const char*, void*, uint32_t flags) {
    if (current->classDevsFails || flags != (DigcfPresent | DigcfDeviceInterface)) {
        return InvalidDeviceInfoSet();
    }
    ++current->setsOpen;
    return new FakeSet{current->interfaces};
}

int EnumDeviceInterfaces(DeviceInfoSet set, DevInfoData*, const Guid*, uint32_t index,
                         DeviceInterfaceData* data) {
    if (index >= SetOf(set)->interfaces.size() || data->cbSize != sizeof(DeviceInterfaceData)) {
        return 0;
    }
    data->reserved = index;
    return 1;
}

int GetDetail(DeviceInfoSet set, DeviceInterfaceData* data, DeviceInterfaceDetailData* detail,
              uint32_t detailSize, uint32_t* requiredSize, DevInfoData* device) {
    const FakeInterface& entry = SetOf(set)->interfaces.at(data->reserved);
    const auto needed = static_cast<uint32_t>(offsetof(DeviceInterfaceDetailData, devicePath) +
                                              entry.devicePath.size() + 1);
    if (requiredSize != nullptr) *requiredSize = entry.reportedSize ? entry.reportedSize : needed;
    if (entry.detailFails || detail == nullptr || detailSize < needed ||
        detail->cbSize != sizeof(DeviceInterfaceDetailData)) {
        return 0;
    }
    std::memcpy(detail->devicePath, entry.devicePath.c_str(), entry.devicePath.size() + 1);
    if (device != nullptr) device->devInst = static_cast<uint32_t>(data->reserved);
    return 1;
}

int GetProperty(DeviceInfoSet set, DevInfoData* device, uint32_t property, uint32_t*,
                uint8_t* buffer, uint32_t bufferSize, uint32_t*) {
    const FakeInterface& entry = SetOf(set)->interfaces.at(device->devInst);
    const std::string& value = property == SpdrpFriendlyName          ? entry.friendlyName
                               : property == SpdrpDeviceDesc          ? entry.deviceDesc
                               : property == SpdrpLocationInformation ? entry.location
                                                                      : std::string();
    if (value.empty() || value.size() + 1 > bufferSize) return 0;
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return 1;
}

int DestroyList(DeviceInfoSet set) {
    --current->setsOpen;
    delete SetOf(set);
    return 1;
}

template <typename Proc>
ProcAddress AsProc(Proc proc) {
    return reinterpret_cast<ProcAddress>(proc);
}

}  // namespace

FakeSetupApi::~FakeSetupApi() {
    if (current == this) current = nullptr;
}

FakeInterface& FakeSetupApi::Add(const std::string& devicePath) {
    interfaces.push_back(FakeInterface{devicePath, "", "", "", false, 0});
    return interfaces.back();
}

ModuleHandle FakeSetupApi::LoadLibraryA(const char* name) {
    if (libraryMissing || std::strcmp(name, "setupapi.dll") != 0) return nullptr;
    ++loads;
    current = this;
    return this;
}

ProcAddress FakeSetupApi::GetProcAddress(ModuleHandle, const char* name) {
    lookedUp.emplace_back(name);
    if (missingEntryPoint == name) return nullptr;
    const std::string entry = name;
    if (entry == "SetupDiGetClassDevsA") return AsProc(&GetClassDevs);
    if (entry == "SetupDiEnumDeviceInterfaces") return AsProc(&EnumDeviceInterfaces);
    if (entry == "SetupDiGetDeviceInterfaceDetailA") return AsProc(&GetDetail);
    if (entry == "SetupDiGetDeviceRegistryPropertyA") return AsProc(&GetProperty);
    if (entry == "SetupDiDestroyDeviceInfoList") return AsProc(&DestroyList);
    return nullptr;
}

void FakeSetupApi::FreeLibrary(ModuleHandle) { ++frees; }

}  // namespace orlup::test

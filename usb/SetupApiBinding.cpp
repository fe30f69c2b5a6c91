// Run-time binding of the Setup API.
#include "usb/SetupApiBinding.h"

namespace orlup {

namespace {

template <typename Proc>
bool Bind(LibraryApi& libraries, ModuleHandle module, const char* name, Proc& target) {
    target = reinterpret_cast<Proc>(libraries.GetProcAddress(module, name));
    return target != nullptr;
}

}  // namespace

SetupApiBinding::SetupApiBinding(LibraryApi& libraries) : libraries_(libraries) {}

SetupApiBinding::~SetupApiBinding() {
    if (module_ != nullptr) libraries_.FreeLibrary(module_);
}

int SetupApiBinding::Load() {
    module_ = libraries_.LoadLibraryA("setupapi.dll");
    if (module_ == nullptr) {
        failed_ = 1;
        message_ = "Failed to load setupapi.dll";
        return 0;
    }
    if (!Bind(libraries_, module_, "SetupDiGetClassDevsA", getClassDevs_)) {
        return Fail("Failed to retrieve function address for 'SetupDiGetClassDevs'");
    }
    if (!Bind(libraries_, module_, "SetupDiEnumDeviceInterfaces", enumDeviceInterfaces_)) {
        return Fail("Failed to retrieve function address for 'SetupDiEnumDeviceInterfaces'");
    }
    if (!Bind(libraries_, module_, "SetupDiGetDeviceInterfaceDetailA",
              getDeviceInterfaceDetail_)) {
        return Fail("Failed to retrieve function address for 'SetupDiGetDeviceInterfaceDetail'");
    }
    if (!Bind(libraries_, module_, "SetupDiGetDeviceRegistryPropertyA",
              getDeviceRegistryProperty_)) {
        return Fail(
            "Failed to retrieve function address for 'SetupDiGetDeviceRegistryProperty'");
    }
    if (!Bind(libraries_, module_, "SetupDiDestroyDeviceInfoList", destroyDeviceInfoList_)) {
        return Fail("Failed to retrieve function address for 'SetupDiDestroyDeviceInfoList'");
    }
    loaded_ = 1;
    return 1;
}

int SetupApiBinding::Fail(const char* why) {
    message_ = why;
    failed_ = 1;
    libraries_.FreeLibrary(module_);
    module_ = nullptr;
    return 0;
}

DeviceInfoSet SetupApiBinding::SetupDiGetClassDevsA(const Guid* classGuid, const char* enumerator,
                                                    void* window, uint32_t flags) {
    return getClassDevs_(classGuid, enumerator, window, flags);
}

int SetupApiBinding::SetupDiEnumDeviceInterfaces(DeviceInfoSet set, DevInfoData* device,
                                                 const Guid* classGuid, uint32_t index,
                                                 DeviceInterfaceData* interfaceData) {
    return enumDeviceInterfaces_(set, device, classGuid, index, interfaceData);
}

int SetupApiBinding::SetupDiGetDeviceInterfaceDetailA(DeviceInfoSet set,
                                                      DeviceInterfaceData* interfaceData,
                                                      DeviceInterfaceDetailData* detail,
                                                      uint32_t detailSize, uint32_t* requiredSize,
                                                      DevInfoData* device) {
    return getDeviceInterfaceDetail_(set, interfaceData, detail, detailSize, requiredSize, device);
}

int SetupApiBinding::SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, DevInfoData* device,
                                                       uint32_t property, uint32_t* valueType,
                                                       uint8_t* buffer, uint32_t bufferSize,
                                                       uint32_t* requiredSize) {
    return getDeviceRegistryProperty_(set, device, property, valueType, buffer, bufferSize,
                                      requiredSize);
}

int SetupApiBinding::SetupDiDestroyDeviceInfoList(DeviceInfoSet set) {
    return destroyDeviceInfoList_(set);
}

}  // namespace orlup

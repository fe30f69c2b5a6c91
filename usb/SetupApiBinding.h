// Binds the Setup API at run time for the length of one enumeration.
#pragma once

#include "usb/LibraryApi.h"
#include "usb/SetupApiTypes.h"

namespace orlup {

class SetupApiBinding {
public:
    explicit SetupApiBinding(LibraryApi& libraries);
    virtual ~SetupApiBinding();
    SetupApiBinding(const SetupApiBinding&) = delete;
    SetupApiBinding& operator=(const SetupApiBinding&) = delete;

    /// 1 when "setupapi.dll" and all five entry points were found, else 0 with message set.
    int Load();

    // Forward unchanged to the bound entry points; only valid after Load returned 1.
    DeviceInfoSet SetupDiGetClassDevsA(const Guid* classGuid, const char* enumerator,
                                       void* window, uint32_t flags);
    int SetupDiEnumDeviceInterfaces(DeviceInfoSet set, DevInfoData* device, const Guid* classGuid,
                                    uint32_t index, DeviceInterfaceData* interfaceData);
    int SetupDiGetDeviceInterfaceDetailA(DeviceInfoSet set, DeviceInterfaceData* interfaceData,
                                         DeviceInterfaceDetailData* detail, uint32_t detailSize,
                                         uint32_t* requiredSize, DevInfoData* device);
    int SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, DevInfoData* device,
                                          uint32_t property, uint32_t* valueType, uint8_t* buffer,
                                          uint32_t bufferSize, uint32_t* requiredSize);
    int SetupDiDestroyDeviceInfoList(DeviceInfoSet set);

    int loaded() const { return loaded_; }
    int failed() const { return failed_; }
    /// "" unless Load failed; then why (each binding is loaded once).
    const char* message() const { return message_; }
    ModuleHandle module() const { return module_; }

private:
    int Fail(const char* why);

    LibraryApi& libraries_;
    int loaded_ = 0;
    int failed_ = 0;
    const char* message_ = "";
    ModuleHandle module_ = nullptr;
    SetupDiGetClassDevsAProc getClassDevs_ = nullptr;
    SetupDiEnumDeviceInterfacesProc enumDeviceInterfaces_ = nullptr;
    SetupDiGetDeviceInterfaceDetailAProc getDeviceInterfaceDetail_ = nullptr;
    SetupDiGetDeviceRegistryPropertyAProc getDeviceRegistryProperty_ = nullptr;
    SetupDiDestroyDeviceInfoListProc destroyDeviceInfoList_ = nullptr;
};

}  // namespace orlup

// The Setup API's records and entry points, laid out as the 64-bit Windows headers lay them out,
// so that the portable binding can call the real setupapi.dll and the Linux stand-in alike.
#pragma once

#include <cstdint>

namespace orlup {

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

/// {A5DCBF10-6530-11D2-901F-00C04FB951ED}
constexpr Guid GuidDevinterfaceUsbDevice{
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

using DeviceInfoSet = void*;  // HDEVINFO

inline DeviceInfoSet InvalidDeviceInfoSet() {
    return reinterpret_cast<DeviceInfoSet>(static_cast<intptr_t>(-1));  // INVALID_HANDLE_VALUE
}

struct DeviceInterfaceData {  // SP_DEVICE_INTERFACE_DATA
    uint32_t cbSize;
    Guid interfaceClassGuid;
    uint32_t flags;
    uintptr_t reserved;
};

struct DeviceInterfaceDetailData {  // SP_DEVICE_INTERFACE_DETAIL_DATA_A
    uint32_t cbSize;
    char devicePath[1];
};

struct DevInfoData {  // SP_DEVINFO_DATA
    uint32_t cbSize;
    Guid classGuid;
    uint32_t devInst;
    uintptr_t reserved;
};

constexpr uint32_t DigcfPresent = 0x02;
constexpr uint32_t DigcfDeviceInterface = 0x10;
constexpr uint32_t SpdrpDeviceDesc = 0;
constexpr uint32_t SpdrpFriendlyName = 12;
constexpr uint32_t SpdrpLocationInformation = 13;

// The entry points in the Setup API's own signatures (BOOL is int, DWORD uint32_t). Only the
// 64-bit calling convention is modelled: there is one, so no WINAPI is needed.
using SetupDiGetClassDevsAProc = DeviceInfoSet (*)(const Guid* classGuid, const char* enumerator,
                                                   void* window, uint32_t flags);
using SetupDiEnumDeviceInterfacesProc = int (*)(DeviceInfoSet set, DevInfoData* device,
                                                const Guid* classGuid, uint32_t index,
                                                DeviceInterfaceData* interfaceData);
using SetupDiGetDeviceInterfaceDetailAProc = int (*)(DeviceInfoSet set,
                                                     DeviceInterfaceData* interfaceData,
                                                     DeviceInterfaceDetailData* detail,
                                                     uint32_t detailSize, uint32_t* requiredSize,
                                                     DevInfoData* device);
using SetupDiGetDeviceRegistryPropertyAProc = int (*)(DeviceInfoSet set, DevInfoData* device,
                                                      uint32_t property, uint32_t* valueType,
                                                      uint8_t* buffer, uint32_t bufferSize,
                                                      uint32_t* requiredSize);
using SetupDiDestroyDeviceInfoListProc = int (*)(DeviceInfoSet set);

}  // namespace orlup

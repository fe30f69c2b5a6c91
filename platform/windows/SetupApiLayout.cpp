// Compile-time proof that the portable Setup API mirror matches the real 64-bit headers.

// The Setup API header builds on windows.h.
// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on

#include <cstddef>
#include <type_traits>

#include "usb/SetupApiTypes.h"

namespace orlup {
namespace {

// Two scalar types are passed alike on x64 when they have the same size and are both pointers
// or both integers: DWORD is unsigned long here and uint32_t unsigned int, yet both go in the
// same register the same way.
template <typename A, typename B>
constexpr bool SameScalar() {
    return sizeof(A) == sizeof(B) && std::is_pointer_v<A> == std::is_pointer_v<B> &&
           std::is_integral_v<A> == std::is_integral_v<B>;
}

template <typename Mirror, typename Real>
struct SameSignature : std::false_type {};

// x64 has one calling convention, so WINAPI drops out of the real function's type.
template <typename R1, typename... A1, typename R2, typename... A2>
struct SameSignature<R1 (*)(A1...), R2 (*)(A2...)>
    : std::bool_constant<sizeof...(A1) == sizeof...(A2) && SameScalar<R1, R2>() &&
                         (SameScalar<A1, A2>() && ...)> {};

template <typename Mirror, typename Real>
constexpr bool SameSignatureV = SameSignature<Mirror, Real>::value;

static_assert(sizeof(void*) == 8, "the mirror models the 64-bit layout only");

static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(offsetof(Guid, data4) == offsetof(GUID, Data4));

static_assert(sizeof(DeviceInterfaceData) == sizeof(SP_DEVICE_INTERFACE_DATA));
static_assert(offsetof(DeviceInterfaceData, interfaceClassGuid) ==
              offsetof(SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid));
static_assert(offsetof(DeviceInterfaceData, flags) == offsetof(SP_DEVICE_INTERFACE_DATA, Flags));
static_assert(offsetof(DeviceInterfaceData, reserved) ==
              offsetof(SP_DEVICE_INTERFACE_DATA, Reserved));

static_assert(sizeof(DeviceInterfaceDetailData) == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
static_assert(offsetof(DeviceInterfaceDetailData, devicePath) ==
              offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath));

static_assert(sizeof(DevInfoData) == sizeof(SP_DEVINFO_DATA));
static_assert(offsetof(DevInfoData, classGuid) == offsetof(SP_DEVINFO_DATA, ClassGuid));
static_assert(offsetof(DevInfoData, devInst) == offsetof(SP_DEVINFO_DATA, DevInst));
static_assert(offsetof(DevInfoData, reserved) == offsetof(SP_DEVINFO_DATA, Reserved));

static_assert(DigcfPresent == DIGCF_PRESENT);
static_assert(DigcfDeviceInterface == DIGCF_DEVICEINTERFACE);
static_assert(SpdrpDeviceDesc == SPDRP_DEVICEDESC);
static_assert(SpdrpFriendlyName == SPDRP_FRIENDLYNAME);
static_assert(SpdrpLocationInformation == SPDRP_LOCATION_INFORMATION);

static_assert(SameSignatureV<SetupDiGetClassDevsAProc, decltype(&::SetupDiGetClassDevsA)>);
static_assert(
    SameSignatureV<SetupDiEnumDeviceInterfacesProc, decltype(&::SetupDiEnumDeviceInterfaces)>);
static_assert(SameSignatureV<SetupDiGetDeviceInterfaceDetailAProc,
                             decltype(&::SetupDiGetDeviceInterfaceDetailA)>);
static_assert(SameSignatureV<SetupDiGetDeviceRegistryPropertyAProc,
                             decltype(&::SetupDiGetDeviceRegistryPropertyA)>);
static_assert(
    SameSignatureV<SetupDiDestroyDeviceInfoListProc, decltype(&::SetupDiDestroyDeviceInfoList)>);

}  // namespace
}  // namespace orlup

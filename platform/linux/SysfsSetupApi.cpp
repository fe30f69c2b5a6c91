// A stand-in "setupapi.dll" whose five entry points list the USB devices that sysfs shows.
#include "platform/linux/SysfsSetupApi.h"

#include <strings.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "platform/linux/SysfsUsbDevices.h"
#include "usb/SetupApiTypes.h"

namespace orlup {

namespace {

// Every load not yet freed, in order; the entry points read the root of the latest. Never
// destroyed, because loaders with static lifetime still leave it at exit.
std::vector<const SysfsSetupApi*>& Loads() {
    static auto* loads = new std::vector<const SysfsSetupApi*>;
    return *loads;
}

const SysfsSetupApi* ActiveLoader() { return Loads().empty() ? nullptr : Loads().back(); }

bool IsLoaded(const SysfsSetupApi* loader) {
    return std::find(Loads().begin(), Loads().end(), loader) != Loads().end();
}

// A device set: the devices present when it was opened, as the real service snapshots them.
struct DeviceSnapshot {
    std::vector<UsbDeviceEntry> devices;
};

// Handles are checked against this, so a stale or foreign handle fails instead of crashing.
std::set<const DeviceSnapshot*>& LiveSnapshots() {
    static std::set<const DeviceSnapshot*> snapshots;
    return snapshots;
}

const DeviceSnapshot* SnapshotOf(DeviceInfoSet set) {
    const auto* snapshot = static_cast<const DeviceSnapshot*>(set);
    return LiveSnapshots().count(snapshot) != 0 ? snapshot : nullptr;
}

bool SameGuid(const Guid* a, const Guid& b) {
    return a != nullptr && std::memcmp(a, &b, sizeof b) == 0;
}

// The interface data carries the device's position in its set, one-based so zero means none.
const UsbDeviceEntry* DeviceOfInterface(const DeviceSnapshot& snapshot,
                                        const DeviceInterfaceData* data) {
    if (data == nullptr || data->cbSize != sizeof(DeviceInterfaceData) || data->reserved == 0 ||
        data->reserved > snapshot.devices.size()) {
        return nullptr;
    }
    return &snapshot.devices[data->reserved - 1];
}

const UsbDeviceEntry* DeviceOfInfo(const DeviceSnapshot& snapshot, const DevInfoData* device) {
    if (device == nullptr || device->cbSize != sizeof(DevInfoData) ||
        device->devInst >= snapshot.devices.size()) {
        return nullptr;
    }
    return &snapshot.devices[device->devInst];
}

std::string FriendlyName(const UsbDeviceEntry& device) {
    if (device.product.empty()) {
        return "";
    }
    return device.manufacturer.empty() ? device.product
                                       : device.manufacturer + " " + device.product;
}

DeviceInfoSet SetupDiGetClassDevsA(const Guid* classGuid, const char* /*enumerator*/,
                                   void* /*window*/, uint32_t flags) {
    const SysfsSetupApi* loader = ActiveLoader();
    if (loader == nullptr || !SameGuid(classGuid, GuidDevinterfaceUsbDevice) ||
        flags != (DigcfPresent | DigcfDeviceInterface)) {
        return InvalidDeviceInfoSet();
    }
    auto snapshot = std::make_unique<DeviceSnapshot>();
    if (!ScanUsbDevices(loader->sysfsRoot(), &snapshot->devices)) {
        return InvalidDeviceInfoSet();
    }
    LiveSnapshots().insert(snapshot.get());
    return snapshot.release();
}

int SetupDiEnumDeviceInterfaces(DeviceInfoSet set, DevInfoData* /*device*/, const Guid* classGuid,
                                uint32_t index, DeviceInterfaceData* interfaceData) {
    const DeviceSnapshot* snapshot = SnapshotOf(set);
    if (snapshot == nullptr || !SameGuid(classGuid, GuidDevinterfaceUsbDevice) ||
        interfaceData == nullptr || interfaceData->cbSize != sizeof(DeviceInterfaceData) ||
        index >= snapshot->devices.size()) {
        return 0;
    }
    interfaceData->interfaceClassGuid = GuidDevinterfaceUsbDevice;
    interfaceData->flags = 1;  // SPINT_ACTIVE: the device is present
    interfaceData->reserved = index + 1;
    return 1;
}

int SetupDiGetDeviceInterfaceDetailA(DeviceInfoSet set, DeviceInterfaceData* interfaceData,
                                     DeviceInterfaceDetailData* detail, uint32_t detailSize,
                                     uint32_t* requiredSize, DevInfoData* device) {
    const DeviceSnapshot* snapshot = SnapshotOf(set);
    const UsbDeviceEntry* entry =
        snapshot != nullptr ? DeviceOfInterface(*snapshot, interfaceData) : nullptr;
    if (entry == nullptr) {
        return 0;
    }
    const size_t pathSize = entry->devicePath.size() + 1;
    const size_t needed = offsetof(DeviceInterfaceDetailData, devicePath) + pathSize;
    if (requiredSize != nullptr) {
        *requiredSize = static_cast<uint32_t>(needed);
    }
    if (detail == nullptr || detailSize < needed ||
        detail->cbSize != sizeof(DeviceInterfaceDetailData)) {
        return 0;
    }
    if (device != nullptr) {
        if (device->cbSize != sizeof(DevInfoData)) {
            return 0;
        }
        *device = DevInfoData{};
        device->cbSize = sizeof(DevInfoData);
        device->devInst = static_cast<uint32_t>(interfaceData->reserved - 1);
    }
    std::memcpy(detail->devicePath, entry->devicePath.c_str(), pathSize);
    return 1;
}

int SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, DevInfoData* device, uint32_t property,
                                      uint32_t* valueType, uint8_t* buffer, uint32_t bufferSize,
                                      uint32_t* requiredSize) {
    const DeviceSnapshot* snapshot = SnapshotOf(set);
    const UsbDeviceEntry* entry = snapshot != nullptr ? DeviceOfInfo(*snapshot, device) : nullptr;
    if (entry == nullptr || (property != SpdrpFriendlyName && property != SpdrpDeviceDesc)) {
        return 0;
    }
    const std::string value = property == SpdrpFriendlyName ? FriendlyName(*entry) : entry->product;
    if (value.empty()) {
        return 0;
    }
    if (valueType != nullptr) {
        *valueType = 1;  // REG_SZ
    }
    if (requiredSize != nullptr) {
        *requiredSize = static_cast<uint32_t>(value.size() + 1);
    }
    if (buffer == nullptr || value.size() + 1 > bufferSize) {
        return 0;
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return 1;
}

int SetupDiDestroyDeviceInfoList(DeviceInfoSet set) {
    const DeviceSnapshot* snapshot = SnapshotOf(set);
    if (snapshot == nullptr) {
        return 0;
    }
    LiveSnapshots().erase(snapshot);
    delete snapshot;
    return 1;
}

struct EntryPoint {
    const char* name;
    ProcAddress address;
};

const EntryPoint entryPoints[] = {
    {"SetupDiGetClassDevsA", reinterpret_cast<ProcAddress>(&SetupDiGetClassDevsA)},
    {"SetupDiEnumDeviceInterfaces", reinterpret_cast<ProcAddress>(&SetupDiEnumDeviceInterfaces)},
    {"SetupDiGetDeviceInterfaceDetailA",
     reinterpret_cast<ProcAddress>(&SetupDiGetDeviceInterfaceDetailA)},
    {"SetupDiGetDeviceRegistryPropertyA",
     reinterpret_cast<ProcAddress>(&SetupDiGetDeviceRegistryPropertyA)},
    {"SetupDiDestroyDeviceInfoList", reinterpret_cast<ProcAddress>(&SetupDiDestroyDeviceInfoList)},
};

}  // namespace

SysfsSetupApi::SysfsSetupApi(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

SysfsSetupApi::~SysfsSetupApi() {
    auto& loads = Loads();
    loads.erase(std::remove(loads.begin(), loads.end(), this), loads.end());
}

ModuleHandle SysfsSetupApi::LoadLibraryA(const char* name) {
    // Windows matches module names without regard to case.
    if (name == nullptr || strcasecmp(name, "setupapi.dll") != 0) {
        return nullptr;
    }
    Loads().push_back(this);
    return this;
}

ProcAddress SysfsSetupApi::GetProcAddress(ModuleHandle module, const char* name) {
    if (module != this || !IsLoaded(this) || name == nullptr) {
        return nullptr;
    }
    for (const EntryPoint& entryPoint : entryPoints) {
        if (std::strcmp(entryPoint.name, name) == 0) {
            return entryPoint.address;
        }
    }
    return nullptr;
}

void SysfsSetupApi::FreeLibrary(ModuleHandle module) {
    auto& loads = Loads();
    const auto last = std::find(loads.rbegin(), loads.rend(), this);
    if (module == this && last != loads.rend()) {
        loads.erase(std::next(last).base());
    }
}

LibraryApi& SystemLibraryApi() {
    static SysfsSetupApi libraries;
    return libraries;
}

}  // namespace orlup

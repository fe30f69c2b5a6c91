// The Windows device listing against a scripted Setup API that reports any detail size, writes
// paths and properties unterminated or cut at the buffer's end, ends the enumeration anywhere, or
// lacks the library, an entry point or the device set.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "usb/SetupApiBinding.h"
#include "usb/UsbDeviceEnumerator.h"

using namespace orlup;

namespace {

constexpr std::size_t pathAt = offsetof(DeviceInterfaceDetailData, devicePath);

struct Interface {
    std::string path, friendlyName, deviceDesc;
    uint8_t failures;  // bit 0: the detail, 1: the friendly name, 2: the description
    uint32_t reportedSize = 0;
};

struct Script {
    std::vector<Interface> interfaces;
    std::vector<uint32_t> detailed;  // the interfaces whose detail was handed out, in order
    int setsOpen = 0, loaded = 0, lookedUp = 0;
    int fault = 0;  // 1-5: that entry point missing, 6: the library, 7: the device set
} script;

DeviceInfoSet GetClassDevs(const Guid*, const char*, void*, uint32_t) {
    return script.fault == 7 ? InvalidDeviceInfoSet() : (++script.setsOpen, &script);
}

int EnumInterfaces(DeviceInfoSet, DevInfoData*, const Guid*, uint32_t index,
                   DeviceInterfaceData* data) {
    data->reserved = index;
    return index < script.interfaces.size();
}

// A service writes no further than the size it is given, but need not terminate what it writes.
int GetDetail(DeviceInfoSet, DeviceInterfaceData* data, DeviceInterfaceDetailData* detail,
              uint32_t detailSize, uint32_t* requiredSize, DevInfoData* device) {
    const Interface& entry = script.interfaces.at(data->reserved);
    if (requiredSize != nullptr) *requiredSize = entry.reportedSize;
    if (detail == nullptr || (entry.failures & 1) != 0) return 0;
    // Never more room than the service asked for (a size no path needs is refused before), and
    // each record's size set, as the service checks it.
    FUZZ_CHECK(detail->cbSize == sizeof *detail && device->cbSize == sizeof *device);
    FUZZ_CHECK(detailSize > pathAt &&
               detailSize <= std::max(entry.reportedSize, uint32_t{sizeof *detail}));
    std::memcpy(detail->devicePath, entry.path.c_str(),
                std::min(detailSize - pathAt, entry.path.size() + 1));
    script.detailed.push_back(device->devInst = static_cast<uint32_t>(data->reserved));
    return 1;
}

int GetProperty(DeviceInfoSet, DevInfoData* device, uint32_t property, uint32_t*, uint8_t* buffer,
                uint32_t bufferSize, uint32_t*) {
    const Interface& entry = script.interfaces.at(device->devInst);
    const bool friendly = property == SpdrpFriendlyName;
    const std::string& value = friendly ? entry.friendlyName : entry.deviceDesc;
    // What fits, terminated or not; a failing call may have scribbled in the buffer too.
    std::memcpy(buffer, value.c_str(), std::min<std::size_t>(bufferSize, value.size() + 1));
    return (entry.failures & (friendly ? 2 : 4)) == 0;
}

// What a value written NUL-terminated into that many bytes reads as: up to its first NUL.
std::string Shown(const std::string& value, std::size_t room = 255) {
    return std::string(value.c_str()).substr(0, room);
}

int DestroyList(DeviceInfoSet) { return --script.setsOpen, 1; }

const std::pair<std::string, ProcAddress> entryPoints[] = {
    {"SetupDiGetClassDevsA", reinterpret_cast<ProcAddress>(&GetClassDevs)},
    {"SetupDiEnumDeviceInterfaces", reinterpret_cast<ProcAddress>(&EnumInterfaces)},
    {"SetupDiGetDeviceInterfaceDetailA", reinterpret_cast<ProcAddress>(&GetDetail)},
    {"SetupDiGetDeviceRegistryPropertyA", reinterpret_cast<ProcAddress>(&GetProperty)},
    {"SetupDiDestroyDeviceInfoList", reinterpret_cast<ProcAddress>(&DestroyList)}};

struct ScriptedLibraries : LibraryApi {
    ModuleHandle LoadLibraryA(const char*) override {
        return script.fault == 6 ? nullptr : (++script.loaded, &script);
    }
    ProcAddress GetProcAddress(ModuleHandle, const char* name) override {
        const int at = script.lookedUp++;
        FUZZ_CHECK(entryPoints[at].first == name);
        return at + 1 == script.fault ? nullptr : entryPoints[at].second;
    }
    void FreeLibrary(ModuleHandle) override { --script.loaded; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    script = Script{};
    const int count = input.ConsumeIntegralInRange(0, 8);  // where the enumeration ends
    for (int i = 0; i < count; ++i) {
        Interface entry{input.ConsumeRandomLengthString(), input.ConsumeRandomLengthString(),
                        input.ConsumeRandomLengthString(), input.ConsumeIntegral<uint8_t>()};
        // The true size, or off by any amount: 0, tiny, huge, short of the path, near 2^32.
        entry.reportedSize = static_cast<uint32_t>(pathAt + entry.path.size() + 1) +
                             input.ConsumeIntegral<uint32_t>();
        script.interfaces.push_back(entry);
    }
    script.fault = input.ConsumeIntegralInRange(0, 7);
    ScriptedLibraries libraries;
    {
        // Each entry point missing stops the binding at once, named as the service names it,
        // and the library is let go once, by the failure or by the binding's end.
        SetupApiBinding binding(libraries);
        const bool missing = script.fault >= 1 && script.fault <= 5;
        std::string named = missing ? entryPoints[script.fault - 1].first : "";
        if (missing && named.back() == 'A') named.pop_back();
        FUZZ_CHECK(binding.Load() == (script.fault == 0 || script.fault == 7));
        FUZZ_CHECK(binding.message() ==
                   (missing             ? "Failed to retrieve function address for '" + named + "'"
                    : script.fault == 6 ? "Failed to load setupapi.dll"
                                        : ""));
        FUZZ_CHECK(binding.failed() != binding.loaded() && script.loaded == binding.loaded() &&
                   (binding.module() != nullptr) == binding.loaded());
        FUZZ_CHECK(script.lookedUp == (missing ? script.fault : script.fault == 6 ? 0 : 5));
    }
    FUZZ_CHECK(script.loaded == 0);
    script.lookedUp = 0;
    const std::vector<UsbDeviceRecord> records = SetupApiDeviceSource(libraries).ListUsbDevices();
    FUZZ_CHECK(script.loaded == 0 && script.setsOpen == 0);
    if (script.fault != 0) {
        FUZZ_CHECK(records.empty() && script.detailed.empty());
        return 0;
    }
    // Listed: each interface whose detail came, of a size with room for a path that no heap
    // would balk at.
    std::vector<uint32_t> readable;
    for (uint32_t i = 0; i < script.interfaces.size(); ++i) {
        const Interface& entry = script.interfaces[i];
        const uint32_t size = entry.reportedSize;
        if (size > pathAt && size <= 64 * 1024 && (entry.failures & 1) == 0) readable.push_back(i);
    }
    FUZZ_CHECK(script.detailed == readable && records.size() == readable.size());

    static const std::regex idRule(R"(\\\\\?\\usb#vid_([0-9a-f]{4})&pid_([0-9a-f]{4}))");
    static const std::regex serialRule("^[^#]*#[^#]*#([^#&]*)#");
    for (std::size_t i = 0; i < records.size(); ++i) {
        const UsbDeviceRecord& record = records[i];
        const Interface& entry = script.interfaces[script.detailed[i]];
        const std::size_t room =
            std::max<std::size_t>(entry.reportedSize, sizeof(DeviceInterfaceDetailData)) - pathAt;
        FUZZ_CHECK(record.devicePath == Shown(entry.path, room) &&
                   record.node == record.devicePath);
        // The friendly name, else the description, else the path; the script answers the location
        // with the description.
        const bool friendly = (entry.failures & 2) == 0, described = (entry.failures & 4) == 0;
        FUZZ_CHECK(record.description == (friendly    ? Shown(entry.friendlyName)
                                          : described ? Shown(entry.deviceDesc)
                                                      : record.devicePath.substr(0, 255)));
        FUZZ_CHECK(record.busPort == (described ? Shown(entry.deviceDesc) : ""));
        // The serial: the third of four or more parts split at '#', unless Windows made it up.
        std::smatch ids;
        const bool serial = std::regex_search(record.devicePath, ids, serialRule);
        FUZZ_CHECK(record.serial == (serial ? ids.str(1) : ""));
        const std::string start = record.devicePath.substr(0, 25);
        const bool matched = std::regex_match(start, ids, idRule);
        FUZZ_CHECK(record.vendorId == (matched ? std::stoul(ids[1], nullptr, 16) : 0) &&
                   record.productId == (matched ? std::stoul(ids[2], nullptr, 16) : 0));
    }
    return 0;
}

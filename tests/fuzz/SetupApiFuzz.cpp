// The Windows device listing against a scripted Setup API that reports any detail size, writes
// paths and properties unterminated or cut at the buffer's end, ends the enumeration anywhere, or
// lacks the library, an entry point or the device set.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <regex>
#include <string>
#include <vector>

#include "fakes/FakeSetupApi.h"
#include "fuzz/FuzzCheck.h"
#include "usb/SetupApiBinding.h"
#include "usb/UsbDeviceEnumerator.h"

using namespace orlup;
using test::DetailPathOffset;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    test::FakeSetupApi api;
    // Listed: each interface whose detail comes, of a size with room for a path that no heap
    // would balk at.
    std::vector<uint32_t> readable;
    const auto count = input.ConsumeIntegralInRange<uint32_t>(0, 8);  // where the enumeration ends
    for (uint32_t i = 0; i < count; ++i) {
        test::FakeInterface& entry = api.interfaces.emplace_back();
        entry.devicePath = input.ConsumeRandomLengthString();
        const std::string friendly = input.ConsumeRandomLengthString();
        const std::string described = input.ConsumeRandomLengthString();
        const auto failures = input.ConsumeIntegral<uint8_t>();  // the detail, the name, the rest
        entry.detailFails = (failures & 1) != 0;
        if ((failures & 2) == 0) entry.friendlyName = friendly;
        // The script answers the location with the description.
        if ((failures & 4) == 0) entry.deviceDesc = entry.location = described;
        // The true size, or off by any amount: 0, tiny, huge, short of the path, near 2^32.
        const uint32_t told =
            static_cast<uint32_t>(DetailPathOffset + entry.devicePath.size() + 1) +
            input.ConsumeIntegral<uint32_t>();
        entry.reportedSize = told;
        if (told > DetailPathOffset && told <= 64 * 1024 && !entry.detailFails)
            readable.push_back(i);
    }
    const auto fault = input.ConsumeIntegralInRange<std::size_t>(0, 7);  // 1-5: an entry point,
    const bool missing = fault >= 1 && fault <= 5;  // 6: the library, 7: the device set missing
    api.missingEntry = missing ? fault : 0;
    api.libraryMissing = fault == 6, api.setFails = fault == 7;
    {
        // Each entry point missing stops the binding at once, named as the service names it,
        // and the library is let go once, by the failure or by the binding's end.
        SetupApiBinding binding(api);
        FUZZ_CHECK(binding.Load() == (fault == 0 || fault == 7));
        FUZZ_CHECK(api.lookedUp.size() == (missing ? fault : fault == 6 ? 0 : 5));
        std::string named = missing ? api.lookedUp.back() : "";
        if (missing && named.back() == 'A') named.pop_back();
        FUZZ_CHECK(binding.message() ==
                   (missing      ? "Failed to retrieve function address for '" + named + "'"
                    : fault == 6 ? "Failed to load setupapi.dll"
                                 : ""));
        FUZZ_CHECK(binding.failed() != binding.loaded() &&
                   (api.loads - api.frees == 1) == binding.loaded() &&
                   (binding.module() != nullptr) == binding.loaded());
    }
    api.lookedUp.clear();
    const std::vector<UsbDeviceRecord> records = SetupApiDeviceSource(api).ListUsbDevices();
    FUZZ_CHECK(api.loads == api.frees && api.setsOpen == 0 && !api.misused);
    if (fault != 0) readable.clear();  // a binding or a device set missing lists nothing
    FUZZ_CHECK(api.detailed == readable && records.size() == readable.size());

    static const std::regex idRule(R"(\\\\\?\\usb#vid_([0-9a-f]{4})&pid_([0-9a-f]{4}))");
    static const std::regex serialRule("^[^#]*#[^#]*#([^#&]*)#");
    // What a value written NUL-terminated into that many bytes reads as: up to its first NUL.
    auto shown = [](const std::string& value, std::size_t room = 255) {
        return std::string(value.c_str()).substr(0, room);
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        const UsbDeviceRecord& record = records[i];
        const test::FakeInterface& entry = api.interfaces[api.detailed[i]];
        const std::size_t room =
            std::max<std::size_t>(*entry.reportedSize, sizeof(DeviceInterfaceDetailData)) -
            DetailPathOffset;
        FUZZ_CHECK(record.devicePath == shown(entry.devicePath, room) &&
                   record.node == record.devicePath);
        // The friendly name, else the description, else the path.
        FUZZ_CHECK(record.description == (entry.friendlyName ? shown(*entry.friendlyName)
                                          : entry.deviceDesc ? shown(*entry.deviceDesc)
                                                             : record.devicePath.substr(0, 255)));
        FUZZ_CHECK(record.busPort == (entry.location ? shown(*entry.location) : ""));
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

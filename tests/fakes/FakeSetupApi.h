// A scripted device-setup service behind the LibraryApi seam, standing in for setupapi.dll:
// whatever a fuzz input makes of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "usb/LibraryApi.h"
#include "usb/SetupApiTypes.h"

namespace orlup::test {

inline constexpr std::size_t DetailPathOffset = offsetof(DeviceInterfaceDetailData, devicePath);

struct FakeInterface {
    std::string devicePath;
    std::optional<std::string> friendlyName, deviceDesc, location;  // each missing while unset
    bool detailFails = false;
    std::optional<uint32_t> reportedSize;  // the detail size told instead of the true one
};

/// The five entry points, plain functions as the real ones are, read the fake loaded last: only
/// a loaded library hands them out.
struct FakeSetupApi : LibraryApi {
    ModuleHandle LoadLibraryA(const char* name) override;
    ProcAddress GetProcAddress(ModuleHandle module, const char* name) override;
    void FreeLibrary(ModuleHandle) override { ++frees; }

    std::vector<FakeInterface> interfaces;
    bool libraryMissing = false, setFails = false;
    std::size_t missingEntry = 0;  // nonzero: the entry point looked up that many-th is missing
    int loads = 0, frees = 0, setsOpen = 0;  // setsOpen: device sets not yet destroyed
    std::vector<std::string> lookedUp;
    std::vector<uint32_t> detailed;  // the interfaces whose detail was handed out, in order
    // A record's size left unset, or room given that the service never asked for.
    bool misused = false;
};

}  // namespace orlup::test

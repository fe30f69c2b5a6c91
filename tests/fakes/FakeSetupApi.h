// A scripted device-setup service behind the LibraryApi seam, standing in for setupapi.dll.
#pragma once

#include <string>
#include <vector>

#include "usb/LibraryApi.h"

namespace orlup::test {

struct FakeInterface {
    std::string devicePath;
    std::string friendlyName, deviceDesc, location;  // each missing while empty
};

/// The five entry points, plain functions as the real ones are, read the fake loaded last.
struct FakeSetupApi : LibraryApi {
    ~FakeSetupApi() override;
    FakeInterface& Add(const std::string& devicePath);
    ModuleHandle LoadLibraryA(const char* name) override;
    ProcAddress GetProcAddress(ModuleHandle module, const char* name) override;
    void FreeLibrary(ModuleHandle) override { ++frees; }

    std::vector<FakeInterface> interfaces;
    int loads = 0, frees = 0, setsOpen = 0;  // setsOpen: device sets not yet destroyed
};

}  // namespace orlup::test

// A scripted device-setup service behind the LibraryApi seam, standing in for setupapi.dll.
#pragma once

#include <string>
#include <vector>

#include "usb/LibraryApi.h"

namespace orlup::test {

struct FakeInterface {
    std::string devicePath;
    std::string friendlyName;  // empty: the property is missing
    std::string deviceDesc;    // empty: the property is missing
    std::string location;      // empty: the property is missing
    bool detailFails = false;
    uint32_t reportedSize = 0;  // nonzero: the detail size reported instead of the true one
};

class FakeSetupApi : public LibraryApi {
public:
    FakeSetupApi() = default;
    ~FakeSetupApi() override;

    std::vector<FakeInterface> interfaces;
    bool libraryMissing = false;
    std::string missingEntryPoint;  // GetProcAddress gives null for this name
    bool classDevsFails = false;

    FakeInterface& Add(const std::string& devicePath);

    int loads = 0;
    int frees = 0;
    int setsOpen = 0;  // device sets not yet destroyed
    std::vector<std::string> lookedUp;

    ModuleHandle LoadLibraryA(const char* name) override;
    ProcAddress GetProcAddress(ModuleHandle module, const char* name) override;
    void FreeLibrary(ModuleHandle module) override;
};

}  // namespace orlup::test

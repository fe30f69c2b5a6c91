// A stand-in "setupapi.dll" whose five entry points list the USB devices that sysfs shows.
#pragma once

#include <string>

#include "platform/LibraryApi.h"

namespace orlup {

/// The entry points are plain functions, as the binding expects; they read the sysfs root of
/// the loader whose load is the latest not yet freed. One thread at a time, as the core uses
/// them.
class SysfsSetupApi : public LibraryApi {
public:
    explicit SysfsSetupApi(std::string sysfsRoot = "/sys");
    ~SysfsSetupApi() override;
    SysfsSetupApi(const SysfsSetupApi&) = delete;
    SysfsSetupApi& operator=(const SysfsSetupApi&) = delete;

    ModuleHandle LoadLibraryA(const char* name) override;
    ProcAddress GetProcAddress(ModuleHandle module, const char* name) override;
    void FreeLibrary(ModuleHandle module) override;

    const std::string& sysfsRoot() const { return sysfsRoot_; }

private:
    std::string sysfsRoot_;
};

}  // namespace orlup

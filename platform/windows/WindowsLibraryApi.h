// The loader's own LoadLibraryA, GetProcAddress and FreeLibrary.
#pragma once

#include "usb/LibraryApi.h"

namespace orlup {

class WindowsLibraryApi : public LibraryApi {
public:
    ModuleHandle LoadLibraryA(const char* name) override;
    ProcAddress GetProcAddress(ModuleHandle module, const char* name) override;
    void FreeLibrary(ModuleHandle module) override;
};

}  // namespace orlup

// The LibraryApi of Windows: the loader's own LoadLibraryA, GetProcAddress and FreeLibrary.
#include <windows.h>

#include "platform/LibraryApi.h"

namespace orlup {
namespace {

class WindowsLibraryApi : public LibraryApi {
public:
    ModuleHandle LoadLibraryA(const char* name) override { return ::LoadLibraryA(name); }

    ProcAddress GetProcAddress(ModuleHandle module, const char* name) override {
        return reinterpret_cast<ProcAddress>(::GetProcAddress(static_cast<HMODULE>(module), name));
    }

    void FreeLibrary(ModuleHandle module) override { ::FreeLibrary(static_cast<HMODULE>(module)); }
};

}  // namespace

LibraryApi& SystemLibraryApi() {
    static WindowsLibraryApi api;
    return api;
}

}  // namespace orlup

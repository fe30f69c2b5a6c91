// Run-time loading of libraries, the seam under the Setup API binding (Windows, and the tests).
#pragma once

namespace orlup {

using ModuleHandle = void*;
using ProcAddress = void (*)();

class LibraryApi {
public:
    virtual ~LibraryApi() = default;
    /// The library's module, or null when it cannot be loaded.
    virtual ModuleHandle LoadLibraryA(const char* name) = 0;
    /// The entry point of exactly that name, or null.
    virtual ProcAddress GetProcAddress(ModuleHandle module, const char* name) = 0;
    virtual void FreeLibrary(ModuleHandle module) = 0;
};

}  // namespace orlup

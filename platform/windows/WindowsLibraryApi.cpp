// The loader's own LoadLibraryA, GetProcAddress and FreeLibrary.
#include "platform/windows/WindowsLibraryApi.h"

#include <windows.h>

namespace orlup {

ModuleHandle WindowsLibraryApi::LoadLibraryA(const char* name) { return ::LoadLibraryA(name); }

ProcAddress WindowsLibraryApi::GetProcAddress(ModuleHandle module, const char* name) {
    return reinterpret_cast<ProcAddress>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void WindowsLibraryApi::FreeLibrary(ModuleHandle module) {
    ::FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace orlup

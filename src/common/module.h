#pragma once
#include <windows.h>

namespace tovrak {

// The module handle of this library (the DLL, or the program it is linked into statically), found
// from the address of its own code without taking a reference.
inline HMODULE CurrentModule() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&CurrentModule), &module);
    return module;
}

}  // namespace tovrak

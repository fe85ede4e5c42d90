#include "common/system_library.h"

namespace tovrak {

HMODULE SystemLibrary::Module() noexcept {
    if (const HMODULE known = module_.load(std::memory_order_acquire)) return known;
    // System32 only, never the application folder, the current directory or PATH. The search also
    // applies to the DLL's own imports. A side-by-side DLL (comctl32) is still redirected by the
    // caller's activation context, which names system assemblies only.
    const HMODULE loaded = ::LoadLibraryExW(fileName_, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!loaded) return nullptr;
    HMODULE expected = nullptr;
    // Two threads may load it at once; the loser gives its reference back.
    if (!module_.compare_exchange_strong(expected, loaded, std::memory_order_acq_rel)) {
        ::FreeLibrary(loaded);
        return expected;
    }
    return loaded;
}

FARPROC ResolveSystemFunction(SystemLibrary& library, const char* name, WORD ordinal) noexcept {
    const HMODULE module = library.Module();
    if (!module) return nullptr;
    if (const FARPROC byName = ::GetProcAddress(module, name)) return byName;
    if (ordinal == 0) return nullptr;
    return ::GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
}

}  // namespace tovrak

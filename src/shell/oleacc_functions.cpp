#include "shell/oleacc_functions.h"

namespace tovrak {
namespace {

template <typename Function>
Function Resolve(HMODULE module, const char* name) noexcept {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

OleaccFunctions LoadOleacc() noexcept {
    OleaccFunctions functions;
    // Only System32: a copy of oleacc.dll beside the installer must never be the one loaded.
    const HMODULE module = ::LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) return functions;
    functions.lresultFromObject = Resolve<LresultFromObjectFn>(module, "LresultFromObject");
    functions.createStdAccessibleObject =
        Resolve<CreateStdAccessibleObjectFn>(module, "CreateStdAccessibleObject");
    return functions;
}

}  // namespace

const OleaccFunctions& Oleacc() noexcept {
    // Everything runs on the host's UI thread; a function-local static is still initialised once
    // whichever thread asks first.
    static const OleaccFunctions functions = LoadOleacc();
    return functions;
}

}  // namespace tovrak

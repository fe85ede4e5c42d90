#include "skin/skin.h"

#include "common/gdiplus.h"
#include "common/module.h"

namespace tovrak::skin {

HMODULE libraryModule = nullptr;
ULONG_PTR skinGdiplusToken = 0;

bool EnsureSkinGdiplus() noexcept {
    if (skinGdiplusToken != 0) return true;
    const HMODULE module = CurrentModule();
    if (!module) return false;
    ULONG_PTR token = 0;
    if (!StartGdiplus(token)) return false;
    libraryModule = module;
    skinGdiplusToken = token;
    return true;
}

}  // namespace tovrak::skin

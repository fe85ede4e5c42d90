#include "common/dwmapi_functions.h"

#include <dwmapi.h>

#include "common/last_error.h"
#include "common/system_library.h"

namespace tovrak::dwmapi {
namespace {

constinit SystemLibrary library(L"dwmapi.dll");
constinit SystemFunction<decltype(&::DwmFlush)> dwmFlush(library, "DwmFlush");

}  // namespace

HRESULT DwmFlush() noexcept {
    if (const auto function = dwmFlush.get()) return function();
    return HRESULT_FROM_WIN32(LastErrorOr(ERROR_GEN_FAILURE));
}

}  // namespace tovrak::dwmapi

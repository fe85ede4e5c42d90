#include "common/dwmapi_functions.h"

#include <dwmapi.h>

#include "common/system_library.h"

namespace tovrak::dwmapi {
namespace {

constinit SystemLibrary library(L"dwmapi.dll");
constinit SystemFunction<decltype(&::DwmFlush)> dwmFlush(library, "DwmFlush");

}  // namespace

HRESULT DwmFlush() noexcept {
    if (const auto function = dwmFlush.get()) return function();
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace tovrak::dwmapi

#pragma once
// The Desktop Window Manager's functions, loaded from the system at first use (dwmapi is no KnownDLL).

#include <windows.h>

namespace tovrak::dwmapi {

// As the platform's function; without dwmapi it returns the loader's error as an HRESULT.
HRESULT DwmFlush() noexcept;

}  // namespace tovrak::dwmapi

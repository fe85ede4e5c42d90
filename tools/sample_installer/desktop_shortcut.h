#pragma once
// The desktop shortcut that the installer offers ("创建桌面快捷方式"): one link to the installed
// application, named after the product, on the user's own desktop.

#include <windows.h>

#include <string>

namespace sample {

// Writes the link to `application`, which starts in `workingDirectory`. Needs COM on the thread.
HRESULT CreateDesktopShortcut(const std::wstring& application, const std::wstring& workingDirectory);

// Deletes the link; S_OK also when there was none.
HRESULT RemoveDesktopShortcut();

}  // namespace sample

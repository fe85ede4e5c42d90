// A DLL that stands in for a system DLL planted in a host's folder. It exports nothing; loading it is
// what it reports: DllMain writes "<its own path>.loaded", so a copy named dwmapi.dll that runs leaves
// dwmapi.dll.loaded beside itself.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t marker[MAX_PATH + 8];
    const DWORD length = ::GetModuleFileNameW(instance, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    ::lstrcpyW(marker + length, L".loaded");
    const HANDLE file =
        ::CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return TRUE;
}

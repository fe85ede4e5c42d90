// A host that runs from a folder in which copies of system DLLs have been planted, as an installer
// runs from a Downloads folder.
//
//   planting_host --plain-load <asset directory>
//   planting_host --platform <asset directory>
//   planting_host --library <asset directory>
//
// --plain-load loads bcrypt.dll and dwmapi.dll by name through the ordinary search, as a static import
// would: it shows that the planted copies are preferred here, without which the other modes prove
// nothing.
// --platform does, without TovrakRenderer, what a host and a correctly built library make the system
// do: a layered window with a button, an edit and a static, GDI+, window subclassing, DwmFlush and
// SHA-256, each system DLL loaded from System32 only. What it makes the system load from this folder
// is the platform's own doing. --library loads TovrakRenderer.dll from this folder and runs exports that
// reach every one of those DLLs: it opens, shows, paints and hides the shell, skins an edit and an image
// control, draws a progress bar and verifies a payload file against its manifest.
//
// Failures are written to planting_host.log beside the program. Exit code: 0 when everything worked,
// 1 for a bad command line, 2 when a step failed.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "tovrak/renderer.h"

namespace {

std::wstring g_folder;  // this program's folder, with a trailing backslash
int g_failures = 0;

void Fail(const wchar_t* step, DWORD value) {
    ++g_failures;
    const std::wstring log = g_folder + L"planting_host.log";
    if (FILE* file = _wfopen(log.c_str(), L"a")) {
        fwprintf(file, L"%ls failed (%lu)\n", step, static_cast<unsigned long>(value));
        fclose(file);
    }
}

void Check(bool ok, const wchar_t* step) {
    if (!ok) Fail(step, ::GetLastError());
}

void Pump(DWORD milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    MSG message;
    while (::GetTickCount64() < end) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(10);
    }
}

HWND CreateHostWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PlantingHostWindow";
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    ::RegisterClassW(&windowClass);
    const HWND window = ::CreateWindowExW(WS_EX_LAYERED, windowClass.lpszClassName, L"Host", WS_POPUP, 40, 40,
                                          400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window) ::SetLayeredWindowAttributes(window, 0, 255, LWA_ALPHA);
    return window;
}

HWND CreateChild(HWND parent, const wchar_t* className, DWORD style, int y) {
    return ::CreateWindowExW(0, className, L"C:\\Program Files\\Example", WS_CHILD | WS_VISIBLE | style, 10,
                             y, 300, 40, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

// The payload the verification reads: "abc" and its well-known SHA-256.
bool WritePayload(std::wstring& file, std::wstring& manifest) {
    file = g_folder + L"payload.txt";
    manifest = g_folder + L"payload.manifest";
    const char content[] = "abc";
    const char lines[] =
        "AID_PAYLOAD_SHA256\nba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad|3|payload."
        "txt\n";
    for (const auto& [path, bytes, size] :
         {std::tuple{file, content, sizeof(content) - 1}, std::tuple{manifest, lines, sizeof(lines) - 1}}) {
        FILE* out = _wfopen(path.c_str(), L"wb");
        if (!out) return false;
        const bool written = fwrite(bytes, 1, size, out) == size;
        fclose(out);
        if (!written) return false;
    }
    return true;
}

HMODULE LoadFromSystem(const wchar_t* name) {
    const HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    Check(module != nullptr, name);
    return module;
}

template <typename Function>
Function Find(HMODULE module, const char* name, WORD ordinal = 0) {
    if (!module) return nullptr;
    FARPROC address = ::GetProcAddress(module, name);
    if (!address && ordinal) address = ::GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    if (!address) Fail(L"GetProcAddress", 0);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

LRESULT CALLBACK PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    using DefSubclass = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
    return reinterpret_cast<DefSubclass>(data)(window, message, wParam, lParam);
}

void RunPlatform(const std::wstring& assets) {
    Check(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)), L"CoInitializeEx");
    const HWND window = CreateHostWindow();
    Check(window != nullptr, L"CreateWindowExW");
    const HWND edit = CreateChild(window, L"EDIT", ES_AUTOHSCROLL, 10);
    CreateChild(window, L"BUTTON", BS_PUSHBUTTON, 60);
    CreateChild(window, L"STATIC", SS_LEFT, 110);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    Pump(200);

    using SetSubclass = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
    using RemoveSubclass = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
    using DefSubclass = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
    const HMODULE comctl32 = LoadFromSystem(L"comctl32.dll");
    const auto setSubclass = Find<SetSubclass>(comctl32, "SetWindowSubclass", 410);
    const auto removeSubclass = Find<RemoveSubclass>(comctl32, "RemoveWindowSubclass", 412);
    const auto defSubclass = Find<DefSubclass>(comctl32, "DefSubclassProc", 413);
    if (setSubclass && removeSubclass && defSubclass) {
        Check(setSubclass(edit, PassOn, 1, reinterpret_cast<DWORD_PTR>(defSubclass)), L"SetWindowSubclass");
        ::InvalidateRect(edit, nullptr, TRUE);
        Pump(100);
        removeSubclass(edit, PassOn, 1);
    }

    using Startup = int(WINAPI*)(ULONG_PTR*, const void*, void*);
    using LoadImage = int(WINAPI*)(const wchar_t*, void**);
    const HMODULE gdiplus = LoadFromSystem(L"gdiplus.dll");
    const auto startup = Find<Startup>(gdiplus, "GdiplusStartup");
    const auto loadImage = Find<LoadImage>(gdiplus, "GdipLoadImageFromFile");
    if (startup && loadImage) {
        const struct {
            UINT32 version = 1;
            void* callback = nullptr;
            BOOL noBackgroundThread = FALSE;
            BOOL noExternalCodecs = FALSE;
        } input;
        ULONG_PTR token = 0;
        Check(startup(&token, &input, nullptr) == 0, L"GdiplusStartup");
        void* image = nullptr;
        Check(loadImage((assets + L"\\installer-logo.png").c_str(), &image) == 0, L"GdipLoadImageFromFile");
    }

    using Flush = HRESULT(WINAPI*)();
    if (const auto flush = Find<Flush>(LoadFromSystem(L"dwmapi.dll"), "DwmFlush")) flush();

    using OpenProvider = LONG(WINAPI*)(void**, const wchar_t*, const wchar_t*, ULONG);
    using CloseProvider = LONG(WINAPI*)(void*, ULONG);
    const HMODULE bcrypt = LoadFromSystem(L"bcrypt.dll");
    const auto openProvider = Find<OpenProvider>(bcrypt, "BCryptOpenAlgorithmProvider");
    const auto closeProvider = Find<CloseProvider>(bcrypt, "BCryptCloseAlgorithmProvider");
    if (openProvider && closeProvider) {
        void* provider = nullptr;
        Check(openProvider(&provider, L"SHA256", nullptr, 0) >= 0, L"BCryptOpenAlgorithmProvider");
        if (provider) closeProvider(provider, 0);
    }
    ::DestroyWindow(window);
}

template <typename Function>
Function Export(HMODULE library, const char* name) {
    const FARPROC address = library ? ::GetProcAddress(library, name) : nullptr;
    if (!address) Fail(L"GetProcAddress of an export", 0);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

void RunLibrary(const std::wstring& assets) {
    const HMODULE library = ::LoadLibraryW((g_folder + L"TovrakRenderer.dll").c_str());
    Check(library != nullptr, L"LoadLibraryW(TovrakRenderer.dll)");
    if (!library) return;
    const auto open = Export<decltype(&ShellOpen)>(library, "ShellOpen");
    const auto show = Export<decltype(&ShellShow)>(library, "ShellShow");
    const auto poll = Export<decltype(&ShellPoll)>(library, "ShellPoll");
    const auto hide = Export<decltype(&ShellHide)>(library, "ShellHide");
    const auto close = Export<decltype(&ShellClose)>(library, "ShellClose");
    const auto setPath = Export<decltype(&SetPath)>(library, "SetPath");
    const auto setSurface = Export<decltype(&SetSurface)>(library, "SetSurface");
    const auto createProgress = Export<decltype(&CreateProgress)>(library, "CreateProgress");
    const auto verifyFile =
        Export<decltype(&VerifyPayloadFileIntegrity)>(library, "VerifyPayloadFileIntegrity");
    if (g_failures) return;

    // The shell: built with subclassed buttons, shown and hidden with DwmFlush, painted with GDI+.
    const HWND shell =
        open(assets.c_str(), L"C:\\Program Files\\Example", L"Example", L"Segoe UI", ShellModeInstall);
    Check(shell != nullptr, L"ShellOpen");
    if (const uint32_t shown = show()) Fail(L"ShellShow", shown);
    // As a screen reader asks for the window's accessible object, which the library serves through
    // oleacc.
    ::SendMessageW(shell, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    for (int frame = 0; frame < 10; ++frame) {
        poll();
        ::Sleep(10);
    }
    if (const uint32_t hidden = hide()) Fail(L"ShellHide", hidden);
    close();

    // The host's own dialog, skinned.
    const HWND window = CreateHostWindow();
    Check(window != nullptr, L"CreateWindowExW");
    const HWND edit = CreateChild(window, L"EDIT", ES_AUTOHSCROLL, 10);
    const HWND surface = CreateChild(window, L"STATIC", SS_LEFT, 60);
    ::ShowWindow(window, SW_SHOW);
    Check(setPath(edit, RGB(20, 20, 20), RGB(250, 250, 250)) == 1, L"SetPath");
    Check(setSurface(surface, (assets + L"\\installer-path.png").c_str(), 96) == 1, L"SetSurface");
    Check(createProgress(window, 96, RGB(220, 220, 220), RGB(0, 120, 215), RGB(255, 255, 255),
                         RGB(250, 250, 250)) != nullptr,
          L"CreateProgress");
    ::UpdateWindow(window);
    Pump(200);
    ::DestroyWindow(window);

    std::wstring file, manifest;
    Check(WritePayload(file, manifest), L"writing the payload");
    if (const int32_t verified = verifyFile(file.c_str(), manifest.c_str(), L"payload.txt"))
        Fail(L"VerifyPayloadFileIntegrity", static_cast<DWORD>(verified));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || argc != 3) return 1;
    g_folder.assign(path, length);
    g_folder.erase(g_folder.find_last_of(L'\\') + 1);

    const std::wstring mode = argv[1];
    if (mode == L"--plain-load") {
        for (const wchar_t* name : {L"bcrypt.dll", L"dwmapi.dll"})
            Check(::LoadLibraryW(name) != nullptr, name);
    } else if (mode == L"--platform") {
        RunPlatform(argv[2]);
    } else if (mode == L"--library") {
        RunLibrary(argv[2]);
    } else {
        return 1;
    }
    return g_failures == 0 ? 0 : 2;
}

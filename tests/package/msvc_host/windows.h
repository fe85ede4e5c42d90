/* The little of the Windows SDK that the public header and the host use. This machine has no SDK for
   the MSVC ABI, and mingw-w64's headers take any compiler without __GNUC__ for one that ignores
   GCC's attributes; Visual Studio's own windows.h declares the same. */
#ifndef TOVRAK_MSVC_HOST_WINDOWS_H
#define TOVRAK_MSVC_HOST_WINDOWS_H

#include <stddef.h>

typedef struct HWND__* HWND;
typedef unsigned long DWORD;
typedef DWORD COLORREF;
#define RGB(r, g, b) \
    ((COLORREF)(((unsigned char)(r)) | ((DWORD)(unsigned char)(g) << 8) | ((DWORD)(unsigned char)(b) << 16)))

__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned int exitCode);

#endif

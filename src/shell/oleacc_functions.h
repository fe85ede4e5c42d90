#pragma once
// The few oleacc.dll entry points the shell's accessible objects use. oleacc.dll is not a KnownDLL,
// so it is never imported statically: the system-library loader takes it from System32 at first
// use, and a missing DLL or function leaves the shell with the system's default accessible objects.

#include <windows.h>

namespace tovrak {

using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, IUnknown*);
using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);

struct OleaccFunctions {
    LresultFromObjectFn lresultFromObject = nullptr;
    CreateStdAccessibleObjectFn createStdAccessibleObject = nullptr;

    bool complete() const noexcept { return lresultFromObject && createStdAccessibleObject; }
};

// Resolved once per process. The DLL stays loaded for the process's life: a client may still hold a
// marshalled object whose stub lives in it.
const OleaccFunctions& Oleacc() noexcept;

}  // namespace tovrak

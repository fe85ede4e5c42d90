#pragma once
// The accessible object one child of the shell serves from WM_GETOBJECT. It answers name, role,
// state, value and default action from the shell's record and leaves location, navigation, hit
// testing and focus to the system's standard proxy for the same window, which knows them best.

#include <windows.h>
#include <oleacc.h>

#include "common/com_ptr.h"
#include "shell/accessible_facts.h"
#include "shell/oleacc_functions.h"

namespace tovrak {

// Answers for one control; the object asks it for the current facts on every call, and false means
// that the shell behind the control is gone.
using DescribeControlFn = bool (*)(HWND control, AccessibleFacts& facts) noexcept;

class ShellAccessible : public IAccessible {
  public:
    // Cuts the object off its window: every later call answers CO_E_OBJNOTCONNECTED, so a client
    // that still holds a reference after the window is gone gets an error instead of touching
    // freed state, and clients outside the window's apartment lose their connection to it. Called on
    // the window's thread.
    virtual void Disconnect() noexcept = 0;

  protected:
    ~ShellAccessible() = default;
};

// Whether the calling thread, the window's, may serve its own objects: only a single-threaded
// apartment keeps every client's call on that thread.
bool CanServeShellAccessible() noexcept;

// A new object with one reference for `control`; null when it cannot be made.
ComPtr<ShellAccessible> CreateShellAccessible(HWND control, DescribeControlFn describe,
                                              const OleaccFunctions& oleacc) noexcept;

}  // namespace tovrak

#pragma once
// What each interactive child of the shell is to assistive technology: the name, role, state and value
// an MSAA client reads, derived from the same record the painter draws from, so that a screen reader
// hears what a sighted user sees.

#include <windows.h>

#include <string>

namespace tovrak {

struct ShellContext;

struct AccessibleFacts {
    std::wstring name;
    LONG role = 0;
    LONG state = 0;
    bool hasValue = false;
    std::wstring value;
    bool hasDescription = false;
    std::wstring description;
    // The window's own object: its children are the child windows, which the standard proxy lists.
    bool container = false;
    // Null when the control has no action to perform.
    const wchar_t* defaultAction = nullptr;
};

// How much a description has to answer: everything a client may read, or only what an announcement
// compares (the name, the state bits announced as a state change, the value and the description). The
// latter runs at the end of every layout, so it reads the window records only and sends no message:
// it leaves out visibility, focus and the pressed look, which have their own events (raised by the
// system) or none, and the edit control's value, which the edit announces itself.
enum class FactsScope { Client, Announcement };

// The facts of `control`, the shell window or one of its children. `progressPercent` is what the progress bar
// was last told to show; only the bar reads it.
AccessibleFacts DescribeShellControl(const ShellContext& shell, HWND control, int progressPercent,
                                     FactsScope scope = FactsScope::Client);

}  // namespace tovrak

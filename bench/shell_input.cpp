// What the shell's own reactions to the user cost, in microseconds (median) and as a share of one
// 16.7 ms frame: a press or release of the primary button and a focus move between two buttons (each
// repaints through the shell's painter at once), a tick of the agreement box (layout and repaint),
// and a DPI change (fonts, backdrop and layout rebuilt). The window is shown, as in an installation.

#include <windows.h>

#include "bench_timing.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "shell/shell_context.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

namespace {

constexpr double kFrameUs = 16700.0;

void Report(const char* what, double median) {
    std::printf("%-40s median %9.1f us  = %6.2f x a 16.7 ms frame\n", what, median, median / kFrameUs);
}

}  // namespace

int wmain() {
    tovrak::test::ShellSession session;
    if (!session || ShellShow() != 0) {
        std::printf("the shell did not open\n");
        return 1;
    }
    for (int i = 0; i < 20; ++i)
        ShellPoll();
    tovrak::ShellContext& shell = *tovrak::g_shell;
    const HWND window = session.window();

    Report("press or release of the primary button",
           tovrak::bench::MedianMicroseconds(
               [&](int i) { ::SendMessageW(shell.primaryButton, BM_SETSTATE, i % 2 == 0, 0); }, 200));
    Report("focus moved between two buttons",
           tovrak::bench::MedianMicroseconds(
               [&](int i) { ::SetFocus(i % 2 == 0 ? shell.optionsButton : shell.primaryButton); }, 200));
    Report("agreement box ticked or cleared", tovrak::bench::MedianMicroseconds(
                                                  [&](int) {
                                                      ::SendMessageW(
                                                          window, WM_COMMAND, 0x68,
                                                          reinterpret_cast<LPARAM>(shell.agreementCheckbox));
                                                  },
                                                  200));
    RECT place{};
    ::GetWindowRect(window, &place);
    Report("DPI change, 96 <-> 144", tovrak::bench::MedianMicroseconds(
                                         [&](int i) {
                                             const WORD dpi = i % 2 == 0 ? 144 : 96;
                                             ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                                            reinterpret_cast<LPARAM>(&place));
                                         },
                                         40));
    return 0;
}

// How long the shell's painters take per frame under this platform, as a share of the frame budget:
// a full PaintShell of the install window at 96 and at 144 DPI (budget one 16.7 ms frame), and the
// update surface's timer frame, the s(88) square around the logo with the sheen (budget 33 ms).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "shell/painter.h"
#include "shell/shell_context.h"
#include "shell/update_surface.h"
#include "support/environment.h"
#include "support/pixels.h"
#include "tovrak/renderer.h"

namespace {

constexpr int kFrames = 300;
constexpr double kDisplayFrameMs = 1000.0 / 60.0;
constexpr double kSurfaceFrameMs = 33.0;

double MedianMilliseconds(const std::function<void()>& frame) {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < 10; ++i)
        frame();  // warm the caches and GDI+'s lazily built state
    std::vector<double> samples;
    samples.reserve(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        LARGE_INTEGER start{};
        LARGE_INTEGER end{};
        ::QueryPerformanceCounter(&start);
        frame();
        ::QueryPerformanceCounter(&end);
        samples.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart));
    }
    std::nth_element(samples.begin(), samples.begin() + kFrames / 2, samples.end());
    return samples[kFrames / 2];
}

void Report(const char* what, double median, double budget) {
    std::printf("%-44s median %7.3f ms  = %5.1f %% of %.1f ms\n", what, median, 100.0 * median / budget,
                budget);
}

void FullPaint(const char* what) {
    const HWND window = tovrak::g_shell->window;
    const HDC dc = ::GetDC(window);
    Report(what, MedianMilliseconds([dc] { tovrak::PaintShell(*tovrak::g_shell, dc, nullptr); }),
           kDisplayFrameMs);
    ::ReleaseDC(window, dc);
}

bool OpenShell(unsigned mode) {
    const std::wstring assets = tovrak::test::SourcePath(L"assets");
    if (!ShellOpen(assets.c_str(), L"C:\\Program Files\\Demo", L"Demo", L"Tahoma", mode) || ShellShow() != 0)
        return false;
    tovrak::test::PumpMessages(200);
    return true;
}

}  // namespace

int wmain() {
    if (!OpenShell(ShellModeInstall)) {
        std::puts("ShellOpen failed");
        return 1;
    }
    ShellState(ShellStateRunning, 42, L"Installing Demo", L"Copying files", L"", L"");
    tovrak::test::PumpMessages(100);
    FullPaint("full PaintShell, running screen, 96 DPI");

    // The window procedure rebuilds fonts, backdrop and layout for the new DPI, as on a monitor change.
    RECT window{};
    ::GetWindowRect(tovrak::g_shell->window, &window);
    RECT suggested{window.left, window.top, window.left + 1050, window.top + 750};
    ::SendMessageW(tovrak::g_shell->window, WM_DPICHANGED, MAKEWPARAM(144, 144),
                   reinterpret_cast<LPARAM>(&suggested));
    tovrak::test::PumpMessages(100);
    if (tovrak::g_shell->dpi == 144)
        FullPaint("full PaintShell, running screen, 144 DPI");
    else
        std::puts("full PaintShell at 144 DPI: skipped, the window did not take the new DPI");
    ShellClose();

    if (!OpenShell(ShellModeUpdate)) {
        std::puts("ShellOpen in update mode failed");
        return 1;
    }
    ShellProgress(60);
    tovrak::ShellContext& shell = *tovrak::g_shell;
    ::KillTimer(shell.window, tovrak::kSurfaceTimerId);  // the frames below are driven by hand
    const double timerFrame = MedianMilliseconds([&shell] {
        // Mid-sweep, so every frame draws the fill and the three sheen bands.
        shell.surfaceAnimating = 1;
        shell.shownTick = ::GetTickCount64() - 1100;
        tovrak::AnimateUpdateSurface(shell);
    });
    char what[96];
    std::snprintf(what, sizeof(what), "update-surface timer frame, %d DPI", static_cast<int>(shell.dpi));
    Report(what, timerFrame, kSurfaceFrameMs);
    ShellClose();
    return 0;
}

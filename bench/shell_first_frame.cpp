// The first frame of the install window at the system DPI, as the user waits for it: ShellOpen and
// ShellShow through the exports, then the same open and show taken apart into their steps (the
// pictures, the fonts, the backdrop, the window, the children, the first layout, mapping the window,
// its first paint and the layered update), each as a share of the whole. The steps are the shell's own
// routines called in the order ShellOpen and ShellShow call them.

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/layout.h"
#include "shell/shell_context.h"
#include "shell/shell_window.h"
#include "support/environment.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

namespace {

constexpr int kCycles = 15;

class Stopwatch {
  public:
    Stopwatch() noexcept {
        ::QueryPerformanceFrequency(&frequency_);
        ::QueryPerformanceCounter(&last_);
    }
    // Microseconds since the last lap.
    double Lap() noexcept {
        LARGE_INTEGER now{};
        ::QueryPerformanceCounter(&now);
        const double us = 1e6 * static_cast<double>(now.QuadPart - last_.QuadPart) /
                          static_cast<double>(frequency_.QuadPart);
        last_ = now;
        return us;
    }

  private:
    LARGE_INTEGER frequency_{};
    LARGE_INTEGER last_{};
};

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

void DrainQueue() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

enum Step { kImages, kFonts, kBackdrop, kWindow, kChildren, kLayout, kMap, kPaint, kLayered, kStepCount };
constexpr std::array<const char*, kStepCount> kStepNames = {
    "pictures (LoadShellImages)",     "fonts (CreateShellFonts)",
    "backdrop (ComposeBackdrop)",     "window (CreateWindowExW)",
    "children (CreateShellChildren)", "first layout (LayoutShell)",
    "window mapped and focused",      "first paint",
    "layered update (opaque)"};

// One open and show, step by step; false when a step failed.
bool OpenAndShowInSteps(std::array<double, kStepCount>& times) {
    using namespace tovrak;
    InstallShellRecord(AllocateShellContext());
    if (!ShellIsOpen()) return false;
    ShellContext& shell = *g_shell;
    shell.installDirectory = L"C:\\Tovrak\\Sample";
    shell.displayName = L"Tovrak";
    shell.fontFace = L"Microsoft YaHei";
    shell.backgroundBrush.reset(::CreateSolidBrush(kBackgroundColour));
    shell.pathFieldBrush.reset(::CreateSolidBrush(kPathFieldColour));
    shell.windowTitle = L"安装Tovrak";
    shell.primaryCaption = L"一键安装";

    Stopwatch watch;
    const bool loaded = LoadShellImages(shell, tovrak::test::SampleAssets());
    times[kImages] = watch.Lap();
    if (!loaded) {
        ShellClose();
        return false;
    }
    RegisterShellClasses(shell);
    const ShellPlacement placement = PlaceShellWindow(shell, WideString(), WideString());
    watch.Lap();
    CreateShellFonts(shell);
    times[kFonts] = watch.Lap();
    ComposeBackdrop(shell);
    times[kBackdrop] = watch.Lap();
    shell.window =
        ::CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW | WS_EX_LAYERED | WS_EX_COMPOSITED,
                          kShellClassName, shell.windowTitle.c_str(), WS_POPUP, placement.x, placement.y,
                          placement.width, placement.height, nullptr, nullptr, g_shellModule, nullptr);
    if (shell.window) ::SetLayeredWindowAttributes(shell.window, 0, 0, LWA_ALPHA);
    times[kWindow] = watch.Lap();
    if (!shell.window) {
        ShellClose();
        return false;
    }
    CreateShellChildren(shell);
    times[kChildren] = watch.Lap();
    LayoutShell(shell);
    times[kLayout] = watch.Lap();

    // What ShellShow does, in its order.
    ::ShowWindow(shell.window, SW_SHOWNOACTIVATE);
    ::SetWindowPos(shell.window, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(shell.window);
    shell.buttonRepaintsDeferred = true;
    ::SetFocus(shell.primaryButton);
    shell.buttonRepaintsDeferred = false;
    times[kMap] = watch.Lap();
    ::RedrawWindow(shell.window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    times[kPaint] = watch.Lap();
    ::SetLayeredWindowAttributes(shell.window, 0, 255, LWA_ALPHA);
    times[kLayered] = watch.Lap();
    DrainQueue();
    ShellClose();
    return true;
}

}  // namespace

int wmain() {
    // ShellOpen initialises COM on the host's thread; the steps below run without it.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // Plain and translated opens alternate, so that neither runs on a warmer machine. A translated
    // open chooses its texts first: a translations file with every key, read and chosen whole.
    const std::wstring translations = tovrak::test::SourcePath(L"tools\\sample_installer\\translations.txt");
    std::vector<double> whole;
    std::vector<double> translated;
    for (int cycle = 0; cycle < 2 * (kCycles + 2); ++cycle) {
        const bool translate = cycle % 2 == 1;
        Stopwatch watch;
        if (translate && ShellConfigureTexts(L"de-DE", translations.c_str()) != 0) {
            std::printf("the translations were refused\n");
            return 1;
        }
        const HWND window = ::ShellOpen(tovrak::test::SampleAssets().c_str(), L"C:\\Tovrak\\Sample",
                                        L"Tovrak", L"Microsoft YaHei", 0);
        if (!window || ShellShow() != 0) {
            std::printf("the shell did not open\n");
            return 1;
        }
        const double us = watch.Lap();
        if (cycle >= 4) (translate ? translated : whole).push_back(us);  // the first ones warm the caches
        DrainQueue();
        ShellClose();
        if (translate) ShellConfigureTexts(L"zh-CN", nullptr);
    }
    const double wholeMedian = Median(whole);
    const double translatedMedian = Median(translated);
    std::printf("%-46s median %9.1f us\n", "first frame, install (ShellOpen + ShellShow)", wholeMedian);
    std::printf("%-46s median %9.1f us  (%+.1f us)\n", "first frame, translations file of all keys",
                translatedMedian, translatedMedian - wholeMedian);
    // What the translation adds by itself, apart from the noise of whole opens.
    std::vector<double> configure;
    for (int call = 0; call < 50; ++call) {
        Stopwatch watch;
        ShellConfigureTexts(L"de-DE", translations.c_str());
        configure.push_back(watch.Lap());
    }
    ShellConfigureTexts(L"zh-CN", nullptr);
    std::printf("%-46s median %9.1f us\n", "  of which ShellConfigureTexts, all keys", Median(configure));

    std::array<std::vector<double>, kStepCount> steps;
    for (int cycle = 0; cycle < kCycles + 2; ++cycle) {
        std::array<double, kStepCount> times{};
        if (!OpenAndShowInSteps(times)) {
            std::printf("the shell did not open in steps\n");
            return 1;
        }
        if (cycle < 2) continue;
        for (int step = 0; step < kStepCount; ++step)
            steps[step].push_back(times[step]);
    }
    double sum = 0;
    for (int step = 0; step < kStepCount; ++step) {
        const double median = Median(steps[step]);
        sum += median;
        std::printf("  %-44s median %9.1f us  = %5.1f %% of the first frame\n", kStepNames[step], median,
                    100.0 * median / wholeMedian);
    }
    std::printf("  %-44s %16.1f us  = %5.1f %% of the first frame\n", "the steps together", sum,
                100.0 * sum / wholeMedian);
    std::fflush(stdout);
    return 0;
}

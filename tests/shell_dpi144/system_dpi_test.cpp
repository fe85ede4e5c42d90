// Runs in a Wine prefix whose display reports 144 DPI (scripts/test.sh, label dpi144): the shell
// opens at the system's DPI, not through a DPI change.

#include <gtest/gtest.h>

#include "shell/shell_context.h"
#include "shell/shell_face.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

using test::Near;
using test::ShellFace;
using test::WindowCapture;

// A host declares itself DPI aware in its manifest; a test program does it at run time.
void BecomeDpiAware() {
    if (!::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) &&
        !::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE))
        ::SetProcessDPIAware();
}

LONG FontHeight(HFONT font) {
    LOGFONTW description{};
    ::GetObjectW(font, sizeof(description), &description);
    return description.lfHeight;
}

TEST(SystemDpi, OpensTheInstallWindowScaledToTheSystemDpi) {
    BecomeDpiAware();
    if (::GetDpiForSystem() != 144) GTEST_SKIP() << "the display does not report 144 DPI";
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    EXPECT_EQ(g_shell->dpi, 144u);

    RECT client{};
    ::GetClientRect(g_shell->window, &client);
    EXPECT_EQ(client.right, 1050);
    EXPECT_EQ(client.bottom, 750);
    EXPECT_EQ(FontHeight(g_shell->bodyFont.get()), -20);
    EXPECT_EQ(FontHeight(g_shell->mediumFont.get()), -21);
    EXPECT_EQ(FontHeight(g_shell->titleFont.get()), -24);

    // The options panel grows the window to s(668) = 1002 where the work area allows (so start at the
    // top of the screen), and the path field's picture starts at s(555) = 833.
    ::SetWindowPos(g_shell->window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    WindowCapture capture = face.Capture();
    if (capture.height() < 1002) GTEST_SKIP() << "the work area is too low for the whole panel";
    EXPECT_TRUE(Near(capture.At(750, 834), test::kTestPathField)) << capture.At(750, 834);
    EXPECT_FALSE(Near(capture.At(750, 831), test::kTestPathField)) << capture.At(750, 831);
}

}  // namespace
}  // namespace tovrak

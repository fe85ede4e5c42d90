// The keyboard reaches every action a mouse reaches: keys are queued as the keyboard would queue them
// and ShellPoll's pump runs them through the dialog manager.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/shell_context.h"
#include "shell_face.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

using namespace tovrak;
using namespace tovrak::test;

namespace {

// Returns the command the key left for the host. A poll stops after its time budget, and every focus
// change repaints, so the host's loop may need more than one poll to take a key press in.
int Press(WPARAM key) {
    const HWND target = ::GetFocus() ? ::GetFocus() : g_shell->window;
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    ::PostMessageW(target, WM_KEYUP, key, 1 | (LPARAM{3} << 30));
    int command = ShellCommandNone;
    MSG pending{};
    for (int poll = 0; poll < 50 && (poll == 0 || ::PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE));
         ++poll) {
        if (const int taken = ::ShellPoll()) command = taken;
    }
    return command;
}

using Field = HWND ShellContext::*;

}  // namespace

TEST(ShellKeyboard, TabWalksEveryScreenTopToBottomLeftToRight) {
    const struct {
        const char* screen;
        unsigned mode;
        void (*enter)();
        std::vector<Field> order;
    } screens[] = {
        {"idle install, options open",
         ShellModeInstall,
         [] { Command(g_shell->optionsButton); },
         {&ShellContext::closeButton, &ShellContext::primaryButton, &ShellContext::agreementCheckbox,
          &ShellContext::userAgreementLink, &ShellContext::privacyPolicyLink, &ShellContext::optionsButton,
          &ShellContext::pathEdit, &ShellContext::browseButton, &ShellContext::shortcutCheckbox}},
        {"idle uninstall, location open",
         ShellModeUninstall,
         [] { Command(g_shell->optionsButton); },
         {&ShellContext::closeButton, &ShellContext::primaryButton, &ShellContext::optionsButton,
          &ShellContext::pathEdit}},
        {"failed, diagnostics open",
         ShellModeInstall,
         [] {
             ::ShellState(ShellStateFailed, 0, L"安装失败", L"", L"重试", L"错误：5");
             Command(g_shell->optionsButton);
         },
         {&ShellContext::closeButton, &ShellContext::primaryButton, &ShellContext::optionsButton,
          &ShellContext::copyDiagnosticsButton, &ShellContext::openLogButton}},
    };
    for (const auto& screen : screens) {
        SCOPED_TRACE(screen.screen);
        ShellSession session(screen.mode);
        ASSERT_TRUE(session);
        ASSERT_EQ(::ShellShow(), 0u);
        screen.enter();
        ::SetFocus(g_shell.get()->*screen.order.front());
        // Once round and back to the start.
        for (size_t step = 1; step <= screen.order.size(); ++step) {
            EXPECT_EQ(Press(VK_TAB), ShellCommandNone);
            const HWND expected = g_shell.get()->*screen.order[step % screen.order.size()];
            EXPECT_EQ(::GetFocus(), expected)
                << "after tab " << step << ": focus on id " << ::GetDlgCtrlID(::GetFocus())
                << ", expected id " << ::GetDlgCtrlID(expected);
        }
        // Shift+Tab goes back the same way.
        BYTE keys[256] = {};
        ASSERT_TRUE(::GetKeyboardState(keys));
        keys[VK_SHIFT] = 0x80;
        ASSERT_TRUE(::SetKeyboardState(keys));
        Press(VK_TAB);
        keys[VK_SHIFT] = 0;
        ::SetKeyboardState(keys);
        EXPECT_EQ(::GetFocus(), g_shell.get()->*screen.order.back());
    }
}

TEST(ShellKeyboard, TabFindsTheControlsAgainWhenTheFocusedOneIsDisabled) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    if (::GetActiveWindow() != session.window())
        GTEST_SKIP() << "the shell window is not active on this display";
    ASSERT_EQ(::GetFocus(), g_shell->primaryButton);

    EXPECT_EQ(Press(VK_RETURN), ShellCommandPrimaryAction);
    EXPECT_EQ(::GetFocus(), session.window());
    EXPECT_EQ(Press(VK_TAB), ShellCommandNone);
    EXPECT_EQ(::GetFocus(), g_shell->closeButton);

    // The running screen disables the close button and offers nothing to focus.
    ::ShellState(ShellStateRunning, 5, L"正在安装", L"", L"", L"");
    EXPECT_EQ(::GetFocus(), session.window());
    EXPECT_EQ(Press(VK_TAB), ShellCommandNone);
    EXPECT_EQ(::GetFocus(), session.window());

    ::ShellState(ShellStateFailed, 0, L"安装失败", L"", L"重试", L"错误：5");
    for (Field expected : {&ShellContext::closeButton, &ShellContext::primaryButton}) {
        Press(VK_TAB);
        EXPECT_EQ(::GetFocus(), g_shell.get()->*expected);
    }
    EXPECT_EQ(Press(VK_RETURN), ShellCommandPrimaryAction);
}

TEST(ShellKeyboard, SpaceAndEnterActOnTheFocusedControlAndEscapeOnNothing) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    const struct {
        const char* what;
        Field focus;
        WPARAM key;
        int command;
        bool ShellContext::*flag;
        int flagAfter;
    } presses[] = {
        {"space on the agreement box", &ShellContext::agreementCheckbox, VK_SPACE, ShellCommandNone,
         &ShellContext::agreementAccepted, 0},
        {"enter on the agreement box", &ShellContext::agreementCheckbox, VK_RETURN, ShellCommandNone,
         &ShellContext::agreementAccepted, 1},
        {"space on the options button", &ShellContext::optionsButton, VK_SPACE, ShellCommandNone,
         &ShellContext::optionsExpanded, 1},
        {"space on the shortcut box", &ShellContext::shortcutCheckbox, VK_SPACE, ShellCommandNone,
         &ShellContext::createShortcut, 0},
        {"enter on the shortcut box", &ShellContext::shortcutCheckbox, VK_RETURN, ShellCommandNone,
         &ShellContext::createShortcut, 1},
        {"escape on the shortcut box", &ShellContext::shortcutCheckbox, VK_ESCAPE, ShellCommandNone,
         &ShellContext::createShortcut, 1},
        {"space on the user agreement", &ShellContext::userAgreementLink, VK_SPACE,
         ShellCommandOpenUserAgreement, nullptr, 0},
        {"enter on the primary button", &ShellContext::primaryButton, VK_RETURN, ShellCommandPrimaryAction,
         nullptr, 0},
    };
    for (const auto& p : presses) {
        ::SetFocus(g_shell.get()->*p.focus);
        ASSERT_EQ(::GetFocus(), g_shell.get()->*p.focus) << p.what;
        EXPECT_EQ(Press(p.key), p.command) << p.what;
        if (p.flag) {
            EXPECT_EQ(g_shell.get()->*p.flag, p.flagAfter) << p.what;
        }
    }
    EXPECT_TRUE(::IsWindowVisible(session.window()));
}

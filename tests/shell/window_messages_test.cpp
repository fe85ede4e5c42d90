#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>

#include "common/scaling.h"
#include "shell/shell_context.h"
#include "shell/user_actions.h"
#include "shell_face.h"
#include "support/environment.h"
#include "support/pixels.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

using namespace tovrak;
using namespace tovrak::test;

namespace {

LRESULT HitTestAt(HWND window, int xUnits, int yUnits) {
    POINT point{Scale(xUnits, g_shell->dpi), Scale(yUnits, g_shell->dpi)};
    ::ClientToScreen(window, &point);
    return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
}

// A key as the keyboard would queue it for `control`; ShellPoll runs it through the dialog manager.
void PressKey(HWND control, WPARAM key, bool autoRepeat = false) {
    const LPARAM repeatBit = autoRepeat ? (LPARAM{1} << 30) : 0;
    ::PostMessageW(control, WM_KEYDOWN, key, 1 | repeatBit);
    ::PostMessageW(control, WM_KEYUP, key, 1 | (LPARAM{3} << 30));
}

std::wstring ClipboardText(HWND owner, bool* present) {
    *present = false;
    if (!::OpenClipboard(owner)) return L"<clipboard not opened>";
    std::wstring text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* characters = static_cast<const wchar_t*>(::GlobalLock(data))) {
            *present = true;
            text = characters;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

int FontHeight(HFONT font) {
    LOGFONTW description{};
    ::GetObjectW(font, sizeof(description), &description);
    return description.lfHeight;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Answers the folder browser from another thread, as a user would: waits for the dialog that the
// shell window owns and for its tree to settle on `settleOn` (the last part of the start folder),
// then presses OK or Cancel.
class BrowserResponder {
  public:
    BrowserResponder(HWND owner, int button, std::wstring settleOn = L"")
        : owner_(owner), button_(button), settleOn_(std::move(settleOn)), thread_([this] { Run(); }) {}
    ~BrowserResponder() { thread_.join(); }
    bool answered() const { return answered_; }

  private:
    static BOOL CALLBACK TakeTree(HWND child, LPARAM found) {
        wchar_t name[32] = {};
        ::GetClassNameW(child, name, 32);
        if (std::wstring(name) != WC_TREEVIEWW) return TRUE;
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    static HWND FindTree(HWND dialog) {
        HWND tree = nullptr;
        ::EnumChildWindows(dialog, TakeTree, reinterpret_cast<LPARAM>(&tree));
        return tree;
    }
    static std::wstring SelectedText(HWND tree) {
        wchar_t text[MAX_PATH] = {};
        TVITEMW item{};
        item.mask = TVIF_TEXT;
        item.hItem = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        if (!item.hItem || !::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
            return L"";
        return text;
    }
    HWND FindDialog() const {
        HWND dialog = nullptr;
        while ((dialog = ::FindWindowExW(nullptr, dialog, L"#32770", nullptr)))
            if (::GetWindow(dialog, GW_OWNER) == owner_ && ::IsWindowVisible(dialog)) return dialog;
        return nullptr;
    }
    bool Settled(HWND dialog) const {
        if (settleOn_.empty()) return true;
        const HWND tree = FindTree(dialog);
        return tree && ::CompareStringOrdinal(SelectedText(tree).c_str(), -1, settleOn_.c_str(), -1, TRUE) ==
                           CSTR_EQUAL;
    }
    void Run() {
        // The dialog shows before its tree has filled and expanded towards the start folder.
        HWND dialog = nullptr;
        for (int attempt = 0; attempt < 300; ++attempt) {
            ::Sleep(50);
            if (!dialog) dialog = FindDialog();
            if (dialog && Settled(dialog)) break;
        }
        if (!dialog) return;
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, button_)));
        answered_ = true;
    }
    HWND owner_;
    int button_;
    std::wstring settleOn_;
    std::atomic<bool> answered_{false};
    std::thread thread_;
};

// Collects what the shell window repaints while it exists.
class ShellPaintRecorder {
  public:
    explicit ShellPaintRecorder(HWND window) : window_(window) {
        ::SetWindowSubclass(window_, Record, 9, reinterpret_cast<DWORD_PTR>(this));
    }
    ~ShellPaintRecorder() { ::RemoveWindowSubclass(window_, Record, 9); }
    bool Covers(const RECT& area) const {
        RECT both{};
        ::UnionRect(&both, &painted_, &area);
        return ::EqualRect(&both, &painted_) != FALSE;
    }

  private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR self) {
        if (message == WM_PAINT) {
            RECT dirty{};
            ::GetUpdateRect(window, &dirty, FALSE);
            auto& painted = reinterpret_cast<ShellPaintRecorder*>(self)->painted_;
            ::UnionRect(&painted, &painted, &dirty);
        }
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    HWND window_;
    RECT painted_{};
};

RECT ClientRect(HWND child) {
    RECT area{};
    ::GetWindowRect(child, &area);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&area), 2);
    return area;
}

}  // namespace

TEST(ShellWindowCommands, IgnoreAHiddenOptionsButtonAndToggleTheShortcutSilently) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);

    ::ShellState(ShellStateRunning, 5, L"安装中", L"", L"", L"");
    ASSERT_FALSE(::GetWindowLongW(g_shell->optionsButton, GWL_STYLE) & WS_VISIBLE);
    Command(g_shell->optionsButton);
    EXPECT_EQ(g_shell->optionsExpanded, 0);

    ::ShellState(ShellStateIdle, 0, L"安装", L"", L"一键安装", L"");
    Command(g_shell->optionsButton);
    EXPECT_EQ(g_shell->optionsExpanded, 1);

    wchar_t directory[MAX_PATH];
    for (int expected : {0, 1, 0}) {
        Command(g_shell->shortcutCheckbox);
        EXPECT_EQ(::ShellOptions(directory, MAX_PATH), expected);
        EXPECT_EQ(::ShellPoll(), ShellCommandNone);
    }
}

TEST(ShellWindowMessages, DragByTheTopBandAndLeaveClosingToTheHost) {
    ShellSession session;
    ASSERT_TRUE(session);
    const HWND window = session.window();
    const struct {
        int x, y;
        LRESULT hit;
    } points[] = {
        {0, 0, HTCAPTION},   {649, 119, HTCAPTION}, {650, 10, HTCLIENT},
        {10, 120, HTCLIENT}, {690, 10, HTCLIENT},   {300, 300, HTCLIENT},
    };
    for (const auto& p : points)
        EXPECT_EQ(HitTestAt(window, p.x, p.y), p.hit) << p.x << ", " << p.y;

    // Left of the primary monitor the screen x is negative: the point's halves are signed.
    ::SetWindowPos(window, nullptr, -Scale(300, g_shell->dpi), 40, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(HitTestAt(window, 10, 10), HTCAPTION);
    EXPECT_EQ(HitTestAt(window, 660, 10), HTCLIENT);

    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(::ShellPoll(), ShellCommandClose);
    // While running, a close request neither closes nor replaces what the user asked for before.
    Command(g_shell->userAgreementLink);
    ::ShellState(ShellStateRunning, 5, L"安装中", L"", L"", L"");
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(::ShellPoll(), ShellCommandOpenUserAgreement);
}

TEST(ShellWindowMessages, UpdateModeIgnoresCommandsClosingAndDragging) {
    ShellSession session(ShellModeUpdate);
    ASSERT_TRUE(session);
    Command(g_shell->closeButton);
    Command(g_shell->userAgreementLink);
    Command(g_shell->openLogButton);
    ::SendMessageW(session.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(::ShellPoll(), ShellCommandNone);
    EXPECT_TRUE(::IsWindow(session.window()));
    EXPECT_EQ(HitTestAt(session.window(), 10, 10), HTCLIENT);
}

TEST(ShellButtons, ClickOnEnterOnceAndLeaveEscapeToNobody) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    const HWND link = g_shell->privacyPolicyLink;
    ::SetFocus(link);
    ASSERT_EQ(::GetFocus(), link);

    const struct {
        WPARAM key;
        bool autoRepeat;
        int command;
    } keys[] = {
        {VK_RETURN, false, ShellCommandOpenPrivacyPolicy},
        {VK_RETURN, true, ShellCommandNone},  // a held key clicks once
        {VK_ESCAPE, false, ShellCommandNone},
    };
    for (const auto& k : keys) {
        PressKey(link, k.key, k.autoRepeat);
        EXPECT_EQ(::ShellPoll(), k.command) << "key " << k.key << (k.autoRepeat ? " repeated" : "");
    }
    EXPECT_TRUE(::IsWindowVisible(session.window()));
}

TEST(ShellButtons, StayOwnerDrawnAndShowTheHandOnlyWhenEnabled) {
    ShellSession session;
    ASSERT_TRUE(session);
    const HWND primary = g_shell->primaryButton;
    ::SendMessageW(primary, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_EQ(::GetWindowLongW(primary, GWL_STYLE) & 0xF, BS_OWNERDRAW);

    const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    for (bool enabled : {true, false, true}) {
        ::EnableWindow(primary, enabled);
        EXPECT_EQ(::SendMessageW(primary, WM_SETCURSOR, reinterpret_cast<WPARAM>(primary),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
                  TRUE);
        EXPECT_EQ(::GetCursor(), enabled ? hand : arrow) << "enabled " << enabled;
    }
}

TEST(ShellButtons, RepaintTheirFaceThroughTheShellAtOnce) {
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    const HWND primary = g_shell->primaryButton;
    const HWND options = g_shell->optionsButton;
    face.Capture();

    const struct {
        const char* change;
        HWND button;
        void (*apply)(HWND);
        Rgb primaryFace;
    } changes[] = {
        {"press", primary, [](HWND b) { ::SendMessageW(b, BM_SETSTATE, TRUE, 0); }, {221, 221, 221}},
        {"release", primary, [](HWND b) { ::SendMessageW(b, BM_SETSTATE, FALSE, 0); }, {255, 255, 255}},
        {"focus", options, [](HWND b) { ::SetFocus(b); }, {255, 255, 255}},
    };
    for (const auto& c : changes) {
        ShellPaintRecorder paints(g_shell->window);
        c.apply(c.button);
        // Painted by the shell within the call, over the whole button: nothing is left to a later pump.
        EXPECT_TRUE(paints.Covers(ClientRect(c.button))) << c.change;
        EXPECT_TRUE(Near(WindowCapture(g_shell->window).At(192, 330), c.primaryFace)) << c.change;
    }
}

TEST(FindBrowseStartFolder, WalksUpToTheNearestExistingDirectory) {
    TempDirectory temp;
    const std::wstring root = temp.path();
    ASSERT_TRUE(CreateDirectories(root + L"\\a\\b"));
    ASSERT_TRUE(WriteBytes(root + L"\\a\\file.txt", "x"));

    wchar_t missingDrive[] = L"?:\\Tovrak\\Sample";
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y' && missingDrive[0] == L'?'; ++letter)
        if (!(drives & (1u << (letter - L'A')))) missingDrive[0] = letter;
    ASSERT_NE(missingDrive[0], L'?');

    const struct {
        std::wstring path, expected;
    } cases[] = {
        {root + L"\\a\\b", root + L"\\a\\b"},
        {root + L"\\a\\b\\", root + L"\\a\\b\\"},  // an existing directory keeps its separator
        {root + L"\\a\\missing\\deeper", root + L"\\a"},
        {root + L"\\a\\missing\\deeper\\\\", root + L"\\a"},
        {root + L"/a/b/missing", root + L"/a/b"},
        {root + L"\\a\\file.txt\\sub", root + L"\\a"},  // a file is not a place to start
        {missingDrive, missingDrive},
        {L"Tovrak\\Missing", L"Tovrak\\Missing"},
        {L"\\\\tovrak-no-such-server\\share\\dir", L"\\\\tovrak-no-such-server\\share\\dir"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindBrowseStartFolder(c.path), c.expected) << c.path;
}

TEST(ShellClipboard, HoldsExactlyTheDiagnosticsEvenWhenEmpty) {
    ShellSession session;
    ASSERT_TRUE(session);
    const HWND window = session.window();
    ASSERT_EQ(::ShellShow(), 0u);
    // The empty text comes second, so that it has to replace the first.
    for (const wchar_t* diagnostics : {L"错误 0x80070005\r\n路径: C:\\Tovrak\\Sample", L""}) {
        ::ShellState(ShellStateFailed, 0, L"安装失败", L"", L"重试", diagnostics);
        // The copy button is on the diagnostics panel.
        if (!g_shell->optionsExpanded) Command(g_shell->optionsButton);
        Command(g_shell->copyDiagnosticsButton);
        bool present = false;
        EXPECT_EQ(ClipboardText(window, &present), diagnostics);
        EXPECT_TRUE(present);
        EXPECT_EQ(::ShellPoll(), ShellCommandNone);
    }
}

TEST(ShellDpiChange, ResizesAtTheSuggestedPlaceAndRebuildsTheFonts) {
    ShellSession session;
    ASSERT_TRUE(session);
    if (g_shell->dpi != 96) GTEST_SKIP() << "needs a 96-DPI session to change from";
    const RECT suggested{40, 30, 40 + 123, 30 + 45};  // its size is not the shell's to take
    ::SendMessageW(session.window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                   reinterpret_cast<LPARAM>(&suggested));

    EXPECT_EQ(g_shell->dpi, 144u);
    RECT window{};
    ::GetWindowRect(session.window(), &window);
    EXPECT_EQ(window.left, 40);
    EXPECT_EQ(window.top, 30);
    EXPECT_EQ(window.right - window.left, 1050);
    EXPECT_EQ(window.bottom - window.top, 750);
    EXPECT_EQ(FontHeight(g_shell->bodyFont.get()), -20);
    EXPECT_EQ(FontHeight(g_shell->mediumFont.get()), -21);
    EXPECT_EQ(FontHeight(g_shell->titleFont.get()), -24);
    for (HWND control : {g_shell->pathEdit, g_shell->diagnosticsLabel, g_shell->locationLabel,
                         g_shell->directoryNoteLabel}) {
        EXPECT_EQ(::SendMessageW(control, WM_GETFONT, 0, 0),
                  reinterpret_cast<LRESULT>(g_shell->bodyFont.get()));
    }
}

// A fresh folder at the root of the system drive, removed with everything in it when destroyed.
// In a fresh profile Wine's folder browser selects another item than a start folder inside the user
// profile (where the temporary directory lies), so the browser tests start outside it.
class FolderOutsideTheProfile {
  public:
    FolderOutsideTheProfile() {
        wchar_t windows[MAX_PATH] = {};
        ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
        const std::wstring root = std::wstring(windows).substr(0, 3);
        for (int attempt = 0; path_.empty() && attempt < 100; ++attempt) {
            const std::wstring candidate = root + L"tovrak-browse-" +
                                           std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                           std::to_wstring(attempt);
            if (::CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~FolderOutsideTheProfile() {
        if (!path_.empty()) RemoveTree(path_);
    }
    FolderOutsideTheProfile(const FolderOutsideTheProfile&) = delete;
    FolderOutsideTheProfile& operator=(const FolderOutsideTheProfile&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring Join(std::wstring_view relative) const { return path_ + L"\\" + std::wstring(relative); }

  private:
    std::wstring path_;
};

TEST(ShellFolderBrowser, TakesTheChosenFolderAndIgnoresACancel) {
    FolderOutsideTheProfile temp;
    ASSERT_FALSE(temp.path().empty());
    ShellSession session(ShellModeInstall, temp.Join(L"missing\\deeper"));
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    Command(g_shell->optionsButton);  // the browse button is in the options panel
    {
        BrowserResponder responder(session.window(), IDOK, temp.path().substr(temp.path().rfind(L'\\') + 1));
        Command(g_shell->browseButton);  // returns when the dialog closes
    }
    // The browser opened on the nearest existing folder and OK took that one.
    ASSERT_EQ(::ShellPoll(), ShellCommandDirectoryChanged);
    EXPECT_TRUE(SamePath(WindowText(g_shell->pathEdit), temp.path())) << WindowText(g_shell->pathEdit);
    wchar_t directory[MAX_PATH] = {};
    ::ShellOptions(directory, MAX_PATH);
    EXPECT_TRUE(SamePath(directory, temp.path())) << directory;

    {
        BrowserResponder responder(session.window(), IDCANCEL);
        Command(g_shell->browseButton);
        EXPECT_TRUE(responder.answered());
    }
    EXPECT_EQ(::ShellPoll(), ShellCommandNone);
    EXPECT_TRUE(SamePath(g_shell->installDirectory, temp.path()));
}

TEST(ShellWindowMessages, MovesWithTheMouseDraggedByTheTopBand) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    const HWND window = session.window();
    RECT before{};
    ::GetWindowRect(window, &before);
    const POINT grip{before.left + Scale(200, g_shell->dpi), before.top + Scale(40, g_shell->dpi)};
    constexpr int kDx = 60, kDy = 40;

    // The move loop runs on the shell's thread, so the mouse is driven from another one.
    std::atomic<bool> done{false};
    std::thread mouse([&] {
        auto send = [](DWORD flags) {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = flags;
            ::SendInput(1, &input, sizeof(input));
            ::Sleep(40);
        };
        ::SetCursorPos(grip.x, grip.y);
        ::Sleep(100);
        send(MOUSEEVENTF_LEFTDOWN);
        for (int step = 1; step <= 6; ++step) {
            ::SetCursorPos(grip.x + kDx * step / 6, grip.y + kDy * step / 6);
            send(MOUSEEVENTF_MOVE);
        }
        send(MOUSEEVENTF_LEFTUP);
        done = true;
    });
    for (DWORD start = ::GetTickCount(); !done && ::GetTickCount() - start < 5000;)
        ::ShellPoll();
    mouse.join();
    for (int i = 0; i < 10; ++i)
        ::ShellPoll();

    RECT after{};
    ::GetWindowRect(window, &after);
    EXPECT_EQ(after.left - before.left, kDx);
    EXPECT_EQ(after.top - before.top, kDy);
    EXPECT_EQ(::ShellPoll(), ShellCommandNone);
}

// The shell as an MSAA client sees it: objects fetched with AccessibleObjectFromWindow and
// AccessibleObjectFromEvent, and WinEvents heard through an out-of-context hook that this thread's
// message pump serves.

#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/com_ptr.h"
#include "common/unique_handle.h"
#include "shell/shell_context.h"
#include "support/pixels.h"
#include "shell_face.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

using namespace tovrak;
using namespace tovrak::test;

namespace {

// The IID is spelled out by the compiler: the import library's IID_IAccessible is a code thunk.
const IID& kAccessible = __uuidof(IAccessible);

VARIANT Self() {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

ComPtr<IAccessible> ClientObject(HWND window) {
    ComPtr<IAccessible> object;
    if (FAILED(::AccessibleObjectFromWindow(window, OBJID_CLIENT, kAccessible, object.put_void()))) return {};
    return object;
}

std::wstring TakeText(BSTR text) {
    std::wstring result = text ? std::wstring(text, ::SysStringLen(text)) : L"";
    ::SysFreeString(text);
    return result;
}

struct Reading {
    HRESULT nameResult = E_FAIL;
    std::wstring name;
    LONG role = 0;
    LONG state = 0;
    HRESULT valueResult = E_FAIL;
    std::wstring value;
};

Reading Read(IAccessible& object) {
    Reading reading;
    BSTR text = nullptr;
    reading.nameResult = object.get_accName(Self(), &text);
    reading.name = TakeText(text);
    VARIANT role{}, state{};
    if (SUCCEEDED(object.get_accRole(Self(), &role)) && role.vt == VT_I4) reading.role = role.lVal;
    if (SUCCEEDED(object.get_accState(Self(), &state)) && state.vt == VT_I4) reading.state = state.lVal;
    text = nullptr;
    reading.valueResult = object.get_accValue(Self(), &text);
    reading.value = TakeText(text);
    return reading;
}

// Collects the WinEvents this process raises; the hook calls back while the thread pumps.
class EventListener {
  public:
    struct Heard {
        DWORD event;
        HWND window;
        LONG object;
        friend bool operator<(const Heard& a, const Heard& b) {
            return std::tie(a.event, a.window, a.object) < std::tie(b.event, b.window, b.object);
        }
        friend bool operator==(const Heard&, const Heard&) = default;
    };

    EventListener() {
        heard_ = &events_;
        hook_ = ::SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_VALUECHANGE, nullptr, Callback,
                                  ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~EventListener() {
        if (hook_) ::UnhookWinEvent(hook_);
        heard_ = nullptr;
    }
    explicit operator bool() const { return hook_ != nullptr; }

    // What arrived since the last call, after letting the queue deliver it.
    std::vector<Heard> Take(DWORD event, LONG object = OBJID_CLIENT) {
        PumpMessages(60);
        std::vector<Heard> taken;
        for (const Heard& heard : events_)
            if (heard.event == event && heard.object == object) taken.push_back(heard);
        events_.clear();
        std::sort(taken.begin(), taken.end());
        return taken;
    }
    // The name, state and value changes of the shell's children since the last call.
    std::vector<Heard> TakeChanges() {
        PumpMessages(60);
        std::vector<Heard> taken;
        for (const Heard& heard : events_) {
            const bool change = heard.event == EVENT_OBJECT_NAMECHANGE ||
                                heard.event == EVENT_OBJECT_STATECHANGE ||
                                heard.event == EVENT_OBJECT_VALUECHANGE;
            if (change && heard.object == OBJID_CLIENT && ::GetParent(heard.window) == g_shell->window)
                taken.push_back(heard);
        }
        events_.clear();
        std::sort(taken.begin(), taken.end());
        return taken;
    }

  private:
    static void CALLBACK Callback(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                                  DWORD) {
        if (heard_ && child == CHILDID_SELF) heard_->push_back({event, window, object});
    }
    static inline std::vector<Heard>* heard_ = nullptr;
    std::vector<Heard> events_;
    HWINEVENTHOOK hook_ = nullptr;
};

std::string EventName(DWORD event) {
    switch (event) {
        case EVENT_OBJECT_NAMECHANGE:
            return "name";
        case EVENT_OBJECT_STATECHANGE:
            return "state";
        case EVENT_OBJECT_VALUECHANGE:
            return "value";
        case EVENT_OBJECT_SHOW:
            return "show";
        case EVENT_OBJECT_HIDE:
            return "hide";
        default:
            return std::to_string(event);
    }
}

std::string Describe(const std::vector<EventListener::Heard>& events) {
    std::string text;
    for (const auto& heard : events)
        text += EventName(heard.event) + "@" + std::to_string(::GetDlgCtrlID(heard.window)) + " ";
    return text.empty() ? "none" : text;
}

std::vector<EventListener::Heard> Expected(std::vector<std::pair<DWORD, HWND>> events) {
    std::vector<EventListener::Heard> expected;
    for (const auto& [event, window] : events)
        expected.push_back({event, window, OBJID_CLIENT});
    std::sort(expected.begin(), expected.end());
    return expected;
}

using Field = HWND ShellContext::*;

struct ControlExpectation {
    Field control;
    std::wstring name;
    LONG role;
    LONG required;   // state bits that must be set
    LONG forbidden;  // state bits that must be clear
    const wchar_t* value = nullptr;
};

constexpr LONG kShown = 0;
constexpr LONG kHidden = STATE_SYSTEM_INVISIBLE;

// Whether this platform's edit control raises its own value change when its text is set, as Windows'
// does; the shell leaves that event to the control.
bool EditAnnouncesItsValue() {
    EventListener probe;
    UniqueWindow edit(::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr,
                                        nullptr, nullptr, nullptr));
    probe.Take(EVENT_OBJECT_VALUECHANGE);
    ::SetWindowTextW(edit.get(), L"changed");
    const auto heard = probe.Take(EVENT_OBJECT_VALUECHANGE);
    return std::any_of(heard.begin(), heard.end(), [&](const auto& h) { return h.window == edit.get(); });
}

const std::wstring kDiagnostics = L"错误代码：0x80070005\r\n安装位置：C:\\Tovrak\\Sample";

}  // namespace

TEST(ShellAccessibility, EveryControlReportsWhatItsScreenShows) {
    struct Screen {
        const char* name;
        unsigned mode;
        std::function<void()> enter;
        std::wstring windowName;
        std::wstring windowDescription;
        std::vector<ControlExpectation> controls;
    };
    const Screen screens[] = {
        {"idle install, options open",
         ShellModeInstall,
         [] {
             ::ShellGate(1, L"准备就绪", L"将安装到所选位置");
             Command(g_shell->optionsButton);
         },
         L"安装Tovrak",
         L"准备就绪\n将安装到所选位置",
         {
             {&ShellContext::primaryButton, L"一键安装", ROLE_SYSTEM_PUSHBUTTON, kShown,
              kHidden | STATE_SYSTEM_UNAVAILABLE},
             {&ShellContext::closeButton, L"关闭安装器", ROLE_SYSTEM_PUSHBUTTON, kShown, kHidden},
             {&ShellContext::optionsButton, L"更多选项", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_EXPANDED,
              kHidden | STATE_SYSTEM_COLLAPSED},
             {&ShellContext::agreementCheckbox, L"同意用户协议与隐私政策", ROLE_SYSTEM_CHECKBUTTON,
              STATE_SYSTEM_CHECKED | STATE_SYSTEM_FOCUSABLE, kHidden},
             {&ShellContext::userAgreementLink, L"《用户协议》", ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED,
              kHidden},
             {&ShellContext::privacyPolicyLink, L"《隐私政策》", ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED,
              kHidden},
             {&ShellContext::shortcutCheckbox, L"创建桌面快捷方式", ROLE_SYSTEM_CHECKBUTTON,
              STATE_SYSTEM_CHECKED, kHidden},
             {&ShellContext::browseButton, L"更改", ROLE_SYSTEM_PUSHBUTTON, kShown, kHidden},
             {&ShellContext::pathEdit, L"安装位置", ROLE_SYSTEM_TEXT, STATE_SYSTEM_READONLY, kHidden,
              L"C:\\Tovrak\\Sample"},
             {&ShellContext::progressBar, L"安装Tovrak", ROLE_SYSTEM_PROGRESSBAR, kHidden, 0, L"0%"},
         }},
        {"idle install, agreement not ticked",
         ShellModeInstall,
         [] { Command(g_shell->agreementCheckbox); },
         L"安装Tovrak",
         L"",
         {
             {&ShellContext::primaryButton, L"一键安装", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_UNAVAILABLE,
              kHidden | STATE_SYSTEM_FOCUSABLE},
             {&ShellContext::optionsButton, L"更多选项", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_COLLAPSED,
              kHidden | STATE_SYSTEM_EXPANDED},
             {&ShellContext::agreementCheckbox, L"同意用户协议与隐私政策", ROLE_SYSTEM_CHECKBUTTON, kShown,
              kHidden | STATE_SYSTEM_CHECKED},
             {&ShellContext::pathEdit, L"安装位置", ROLE_SYSTEM_TEXT, kHidden, 0, L"C:\\Tovrak\\Sample"},
         }},
        {"idle uninstall, location open",
         ShellModeUninstall,
         [] { Command(g_shell->optionsButton); },
         L"卸载Tovrak",
         L"卸载Tovrak",
         {
             {&ShellContext::primaryButton, L"卸载", ROLE_SYSTEM_PUSHBUTTON, kShown,
              kHidden | STATE_SYSTEM_UNAVAILABLE},
             {&ShellContext::optionsButton, L"安装位置", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_EXPANDED,
              kHidden},
             {&ShellContext::agreementCheckbox, L"同意用户协议与隐私政策", ROLE_SYSTEM_CHECKBUTTON, kHidden,
              0},
             {&ShellContext::pathEdit, L"安装位置", ROLE_SYSTEM_TEXT, STATE_SYSTEM_READONLY, kHidden,
              L"C:\\Tovrak\\Sample"},
         }},
        {"running at 42 percent",
         ShellModeInstall,
         [] { ::ShellState(ShellStateRunning, 42, L"正在安装", L"请稍候", L"", L""); },
         L"正在安装",
         L"正在安装\n请稍候",
         {
             {&ShellContext::closeButton, L"关闭安装器", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_UNAVAILABLE,
              kHidden},
             {&ShellContext::optionsButton, L"诊断信息", ROLE_SYSTEM_PUSHBUTTON, kHidden, 0},
             {&ShellContext::progressBar, L"正在安装", ROLE_SYSTEM_PROGRESSBAR, STATE_SYSTEM_READONLY,
              kHidden, L"42%"},
         }},
        {"failed, diagnostics open",
         ShellModeInstall,
         [] {
             ::ShellState(ShellStateFailed, 0, L"安装失败", L"", L"重试", kDiagnostics.c_str());
             Command(g_shell->optionsButton);
         },
         L"安装失败",
         L"安装失败",
         {
             {&ShellContext::primaryButton, L"重试", ROLE_SYSTEM_PUSHBUTTON, kShown,
              kHidden | STATE_SYSTEM_UNAVAILABLE},
             {&ShellContext::closeButton, L"关闭安装器", ROLE_SYSTEM_PUSHBUTTON, kShown,
              kHidden | STATE_SYSTEM_UNAVAILABLE},
             {&ShellContext::optionsButton, L"诊断信息", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_EXPANDED,
              kHidden},
             {&ShellContext::diagnosticsLabel, L"诊断信息", ROLE_SYSTEM_STATICTEXT, STATE_SYSTEM_READONLY,
              kHidden, kDiagnostics.c_str()},
             {&ShellContext::copyDiagnosticsButton, L"复制诊断信息", ROLE_SYSTEM_PUSHBUTTON, kShown, kHidden},
             {&ShellContext::openLogButton, L"打开日志目录", ROLE_SYSTEM_PUSHBUTTON, kShown, kHidden},
             {&ShellContext::progressBar, L"安装失败", ROLE_SYSTEM_PROGRESSBAR, kHidden, 0, L"0%"},
             {&ShellContext::agreementCheckbox, L"同意用户协议与隐私政策", ROLE_SYSTEM_CHECKBUTTON, kHidden,
              0},
         }},
    };
    for (const Screen& screen : screens) {
        SCOPED_TRACE(screen.name);
        ShellSession session(screen.mode);
        ASSERT_TRUE(session);
        ASSERT_EQ(::ShellShow(), 0u);
        screen.enter();
        ::ShellPoll();

        ComPtr<IAccessible> window = ClientObject(session.window());
        ASSERT_TRUE(window);
        EXPECT_EQ(Read(*window.get()).name, screen.windowName);
        BSTR description = nullptr;
        EXPECT_EQ(window->get_accDescription(Self(), &description), S_OK);
        EXPECT_EQ(TakeText(description), screen.windowDescription);
        // The window is the client area the children sit in, shown and focusable on every screen.
        const Reading windowReading = Read(*window.get());
        EXPECT_EQ(windowReading.role, ROLE_SYSTEM_CLIENT);
        EXPECT_EQ(windowReading.state & (STATE_SYSTEM_FOCUSABLE | kHidden | STATE_SYSTEM_UNAVAILABLE),
                  STATE_SYSTEM_FOCUSABLE)
            << std::hex << windowReading.state;
        // Its children are the child windows, for a client's navigation.
        LONG children = 0;
        EXPECT_EQ(window->get_accChildCount(&children), S_OK);
        EXPECT_EQ(children, 15);

        for (const ControlExpectation& expected : screen.controls) {
            const HWND control = g_shell->*expected.control;
            SCOPED_TRACE(::GetDlgCtrlID(control));
            ComPtr<IAccessible> object = ClientObject(control);
            ASSERT_TRUE(object);
            const Reading reading = Read(*object.get());
            EXPECT_EQ(reading.nameResult, S_OK);
            EXPECT_EQ(reading.name, expected.name);
            EXPECT_EQ(reading.role, expected.role);
            EXPECT_EQ(reading.state & expected.required, expected.required) << std::hex << reading.state;
            EXPECT_EQ(reading.state & expected.forbidden, 0) << std::hex << reading.state;
            if (expected.value) {
                EXPECT_EQ(reading.valueResult, S_OK);
                EXPECT_EQ(reading.value, expected.value);
            } else {
                EXPECT_FALSE(SUCCEEDED(reading.valueResult) && !reading.value.empty())
                    << "value " << reading.valueResult;
            }
        }
    }
}

TEST(ShellAccessibility, AnnouncesEachChangeOnceAndNothingWhenNothingChanged) {
    const bool editAnnounces = EditAnnouncesItsValue();
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    EventListener events;
    ASSERT_TRUE(events);
    events.TakeChanges();
    const ShellContext& shell = *g_shell;
    std::vector<std::pair<DWORD, HWND>> newDirectory;
    if (editAnnounces) newDirectory.push_back({EVENT_OBJECT_VALUECHANGE, shell.pathEdit});

    const struct {
        const char* step;
        std::function<void()> act;
        std::vector<std::pair<DWORD, HWND>> expected;
    } steps[] = {
        {"untick the agreement",
         [] { Command(g_shell->agreementCheckbox); },
         {{EVENT_OBJECT_STATECHANGE, shell.agreementCheckbox},
          {EVENT_OBJECT_STATECHANGE, shell.primaryButton}}},
        {"tick it again",
         [] { Command(g_shell->agreementCheckbox); },
         {{EVENT_OBJECT_STATECHANGE, shell.agreementCheckbox},
          {EVENT_OBJECT_STATECHANGE, shell.primaryButton}}},
        {"open the options",
         [] { Command(g_shell->optionsButton); },
         {{EVENT_OBJECT_STATECHANGE, shell.optionsButton}}},
        {"untick the shortcut",
         [] { Command(g_shell->shortcutCheckbox); },
         {{EVENT_OBJECT_STATECHANGE, shell.shortcutCheckbox}}},
        {"a new directory",
         [] { ::ShellDirectory(L"D:\\Games\\Tovrak", L""); },
         {{EVENT_OBJECT_VALUECHANGE, shell.pathEdit}}},
        {"the same directory", [] { ::ShellDirectory(L"D:\\Games\\Tovrak", L""); }, {}},
        {"the same gate", [] { ::ShellGate(1, L"", L""); }, {}},
        {"click the primary button",
         [] { Command(g_shell->primaryButton); },
         {{EVENT_OBJECT_STATECHANGE, shell.primaryButton}}},
        // The new screen itself is announced by the system's show and hide events.
        {"start running",
         [] { ::ShellState(ShellStateRunning, 5, L"正在安装", L"", L"", L""); },
         {{EVENT_OBJECT_STATECHANGE, shell.closeButton}}},
        {"new progress", [] { ::ShellProgress(43); }, {{EVENT_OBJECT_VALUECHANGE, shell.progressBar}}},
        {"the same progress", [] { ::ShellProgress(43); }, {}},
        {"the same state", [] { ::ShellState(ShellStateRunning, 43, L"正在安装", L"", L"", L""); }, {}},
        {"fail",
         [] { ::ShellState(ShellStateFailed, 0, L"安装失败", L"", L"重试", kDiagnostics.c_str()); },
         // The bar is told its new value and headline just before the new screen hides it.
         {{EVENT_OBJECT_VALUECHANGE, shell.progressBar},
          {EVENT_OBJECT_NAMECHANGE, shell.progressBar},
          {EVENT_OBJECT_STATECHANGE, shell.primaryButton},
          {EVENT_OBJECT_NAMECHANGE, shell.primaryButton},
          {EVENT_OBJECT_STATECHANGE, shell.closeButton}}},
        {"open the diagnostics",
         [] { Command(g_shell->optionsButton); },
         {{EVENT_OBJECT_STATECHANGE, shell.optionsButton}}},
        {"fail the same way again",
         [] { ::ShellState(ShellStateFailed, 0, L"安装失败", L"", L"重试", kDiagnostics.c_str()); },
         {}},
    };
    for (const auto& step : steps) {
        step.act();
        const auto heard = events.TakeChanges();
        EXPECT_EQ(heard, Expected(step.expected)) << step.step << ": heard " << Describe(heard)
                                                  << ", expected " << Describe(Expected(step.expected));
    }
}

TEST(ShellAccessibility, TheWindowAnnouncesANewHeadlineOrDetail) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    EventListener events;
    ASSERT_TRUE(events);
    events.Take(EVENT_OBJECT_DESCRIPTIONCHANGE);
    const struct {
        const char* step;
        std::function<void()> act;
        long announcements;
    } steps[] = {
        {"a closed gate", [] { ::ShellGate(0, L"请先关闭正在运行的程序", L""); }, 1},
        {"the same gate", [] { ::ShellGate(0, L"请先关闭正在运行的程序", L""); }, 0},
        {"a new detail", [] { ::ShellGate(0, L"请先关闭正在运行的程序", L"Tovrak.exe 仍在运行"); }, 1},
        {"the running screen", [] { ::ShellState(ShellStateRunning, 1, L"正在安装", L"", L"", L""); }, 1},
        {"progress only", [] { ::ShellProgress(2); }, 0},
    };
    for (const auto& step : steps) {
        step.act();
        const auto heard = events.Take(EVENT_OBJECT_DESCRIPTIONCHANGE);
        EXPECT_EQ(std::count_if(heard.begin(), heard.end(),
                                [](const auto& h) { return h.window == g_shell->window; }),
                  step.announcements)
            << step.step;
    }
}

TEST(ShellAccessibility, AnEventLeadsTheClientToTheChangedObject) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    EventListener events;
    ASSERT_TRUE(events);
    Command(g_shell->agreementCheckbox);
    const auto heard = events.Take(EVENT_OBJECT_STATECHANGE);
    const auto box = std::find_if(heard.begin(), heard.end(),
                                  [](const auto& h) { return h.window == g_shell->agreementCheckbox; });
    ASSERT_NE(box, heard.end());

    ComPtr<IAccessible> object;
    VARIANT child{};
    ASSERT_EQ(::AccessibleObjectFromEvent(box->window, box->object, CHILDID_SELF, object.put(), &child),
              S_OK);
    ASSERT_TRUE(object);
    const Reading reading = Read(*object.get());
    EXPECT_EQ(reading.role, ROLE_SYSTEM_CHECKBUTTON);
    EXPECT_EQ(reading.state & STATE_SYSTEM_CHECKED, 0);
}

TEST(ShellAccessibility, TheSystemAnnouncesANewScreensControlsAppearingAndGoing) {
    // The show and hide events of child windows are USER's to raise; probe whether this platform does.
    {
        EventListener probe;
        ASSERT_TRUE(probe);
        UniqueWindow parent(
            ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
        UniqueWindow child(::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, parent.get(), nullptr,
                                             nullptr, nullptr));
        ::ShowWindow(child.get(), SW_SHOWNA);
        if (probe.Take(EVENT_OBJECT_SHOW, OBJID_WINDOW).empty())
            GTEST_SKIP() << "Wine's user32 raises no EVENT_OBJECT_SHOW or EVENT_OBJECT_HIDE when a window is "
                            "shown or hidden";
    }
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    EventListener events;
    ASSERT_TRUE(events);
    events.Take(EVENT_OBJECT_SHOW, OBJID_WINDOW);
    ::ShellState(ShellStateRunning, 5, L"正在安装", L"", L"", L"");
    const auto shown = events.Take(EVENT_OBJECT_SHOW, OBJID_WINDOW);
    ::ShellState(ShellStateFailed, 0, L"安装失败", L"", L"重试", L"");
    const auto hidden = events.Take(EVENT_OBJECT_HIDE, OBJID_WINDOW);
    auto has = [](const std::vector<EventListener::Heard>& list, HWND window) {
        return std::any_of(list.begin(), list.end(), [&](const auto& h) { return h.window == window; });
    };
    EXPECT_TRUE(has(shown, g_shell->progressBar));
    EXPECT_TRUE(has(hidden, g_shell->progressBar));
}

TEST(ShellAccessibility, DefaultActionsDoWhatAClickDoes) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    Command(g_shell->optionsButton);

    const struct {
        const char* control;
        Field field;
        const wchar_t* action;
        HRESULT result;
        int command;
        std::function<bool()> done;
    } actions[] = {
        {"privacy link", &ShellContext::privacyPolicyLink, L"跳转", S_OK, ShellCommandOpenPrivacyPolicy,
         nullptr},
        {"shortcut box", &ShellContext::shortcutCheckbox, L"清除", S_OK, ShellCommandNone,
         [] { return g_shell->createShortcut == 0; }},
        {"shortcut box again", &ShellContext::shortcutCheckbox, L"选中", S_OK, ShellCommandNone,
         [] { return g_shell->createShortcut == 1; }},
        {"options button", &ShellContext::optionsButton, L"折叠", S_OK, ShellCommandNone,
         [] { return g_shell->optionsExpanded == 0; }},
        {"primary button", &ShellContext::primaryButton, L"按下", S_OK, ShellCommandPrimaryAction, nullptr},
        // Disabled by the click before.
        {"disabled primary button", &ShellContext::primaryButton, L"按下", E_FAIL, ShellCommandNone, nullptr},
        {"hidden path field", &ShellContext::pathEdit, nullptr, DISP_E_MEMBERNOTFOUND, ShellCommandNone,
         nullptr},
    };
    for (const auto& a : actions) {
        SCOPED_TRACE(a.control);
        ComPtr<IAccessible> object = ClientObject(g_shell->*a.field);
        ASSERT_TRUE(object);
        BSTR action = nullptr;
        const HRESULT named = object->get_accDefaultAction(Self(), &action);
        if (a.action) {
            EXPECT_EQ(named, S_OK);
            EXPECT_EQ(TakeText(action), a.action);
        } else {
            EXPECT_EQ(named, DISP_E_MEMBERNOTFOUND);
            TakeText(action);
        }
        EXPECT_EQ(object->accDoDefaultAction(Self()), a.result);
        // The click is posted: it happens in the host's next poll.
        EXPECT_EQ(::ShellPoll(), a.command);
        if (a.done) {
            EXPECT_TRUE(a.done());
        }
    }
}

TEST(ShellAccessibility, ObjectsLeftWithAClientAfterCloseAnswerNotConnected) {
    ComPtr<IAccessible> box, bar;
    {
        ShellSession session;
        ASSERT_TRUE(session);
        box = ClientObject(g_shell->agreementCheckbox);
        bar = ClientObject(g_shell->progressBar);
        ASSERT_TRUE(box && bar);
        VARIANT child = Self();
        child.lVal = 1;
        BSTR name = nullptr;
        EXPECT_EQ(box->get_accName(child, &name), E_INVALIDARG);
    }
    ASSERT_EQ(g_shell, nullptr);
    for (IAccessible* object : {box.get(), bar.get()}) {
        BSTR name = nullptr;
        VARIANT state{};
        EXPECT_EQ(object->get_accName(Self(), &name), CO_E_OBJNOTCONNECTED);
        EXPECT_EQ(name, nullptr);
        EXPECT_EQ(object->get_accState(Self(), &state), CO_E_OBJNOTCONNECTED);
        EXPECT_EQ(object->accDoDefaultAction(Self()), CO_E_OBJNOTCONNECTED);
        LONG x = 0, y = 0, w = 0, h = 0;
        EXPECT_EQ(object->accLocation(&x, &y, &w, &h, Self()), CO_E_OBJNOTCONNECTED);
    }
    // A shell opened again serves new objects.
    ShellSession again;
    ASSERT_TRUE(again);
    ComPtr<IAccessible> fresh = ClientObject(g_shell->agreementCheckbox);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(Read(*fresh.get()).role, ROLE_SYSTEM_CHECKBUTTON);
}

// The shell as an MSAA client sees it: objects fetched with AccessibleObjectFromWindow and
// AccessibleObjectFromEvent, and WinEvents heard through an out-of-context hook that this thread's
// message pump serves.

#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "common/com_ptr.h"
#include "common/unique_handle.h"
#include "shell/shell_context.h"
#include "support/environment.h"
#include "support/pixels.h"
#include "support/resource_counts.h"
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

// This thread's COM apartment for the life of the object, as a host's own outlives the shell.
class Apartment {
  public:
    explicit Apartment(DWORD model) : result_(::CoInitializeEx(nullptr, model)) {}
    ~Apartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    HRESULT result() const { return result_; }

  private:
    HRESULT result_;
};

UniqueHandleKernel NewEvent() {
    return UniqueHandleKernel(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// Serves this thread's windows, and with them COM's calls into its apartment, until `done` is set.
bool PumpUntil(HANDLE done, DWORD timeoutMilliseconds = 20000) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMilliseconds) {
        if (::MsgWaitForMultipleObjects(1, &done, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return false;
}

VARIANT Child(LONG id) {
    VARIANT child = Self();
    child.lVal = id;
    return child;
}

LONG RoleOf(IAccessible& object, VARIANT child = Self()) {
    VARIANT role{};
    return SUCCEEDED(object.get_accRole(child, &role)) && role.vt == VT_I4 ? role.lVal : 0;
}

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
            const HWND control = g_shell.get()->*expected.control;
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
        // Announced by the edit control alone, where the platform's edit announces at all.
        {"a new directory", [] { ::ShellDirectory(L"D:\\Games\\Tovrak", L""); }, newDirectory},
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
        ComPtr<IAccessible> object = ClientObject(g_shell.get()->*a.field);
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

TEST(ShellAccessibility, AHostMayUnloadTheLibraryWhateverAClientInAnotherApartmentHolds) {
    // A host of the shipped library, whose apartment outlives the shell.
    Apartment apartment(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(apartment.result()));
    HMODULE library = ::LoadLibraryW((ExecutableDirectory() + L"\\TovrakRenderer.dll").c_str());
    ASSERT_NE(library, nullptr) << ::GetLastError();
    const auto open = reinterpret_cast<decltype(&::ShellOpen)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "ShellOpen")));
    const auto close = reinterpret_cast<decltype(&::ShellClose)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "ShellClose")));
    ASSERT_TRUE(open && close);
    const HWND window = open(SampleAssets().c_str(), L"C:\\Tovrak\\Sample", L"Tovrak", L"Microsoft YaHei", 0);
    ASSERT_NE(window, nullptr);

    // A screen reader is out of process: it holds a proxy, never the object.
    const UniqueHandleKernel taken = NewEvent(), unloaded = NewEvent(), finished = NewEvent();
    std::wstring nameWhileOpen;
    HRESULT afterUnload = S_OK;
    std::thread client([&] {
        {
            Apartment multithreaded(COINIT_MULTITHREADED);
            ComPtr<IAccessible> object = ClientObject(window);
            if (object) {
                BSTR name = nullptr;
                object->get_accName(Self(), &name);
                nameWhileOpen = TakeText(name);
            }
            ::SetEvent(taken.get());
            ::WaitForSingleObject(unloaded.get(), 30000);
            if (object) {
                BSTR name = nullptr;
                afterUnload = object->get_accName(Self(), &name);
                TakeText(name);
            }
        }
        ::SetEvent(finished.get());
    });
    const bool clientTookIt = PumpUntil(taken.get());
    close();
    ::FreeLibrary(library);
    ::SetEvent(unloaded.get());
    // The client's call and release come to this thread, where the library was.
    const bool clientFinished = PumpUntil(finished.get());
    client.join();
    ASSERT_TRUE(clientTookIt && clientFinished);
    EXPECT_EQ(nameWhileOpen, L"安装Tovrak");
    // COM's own error for a disconnected object (Windows and Wine word it differently).
    EXPECT_TRUE(FAILED(afterUnload)) << std::hex << afterUnload;
}

TEST(ShellAccessibility, AnObjectServedButNeverTakenGoesWithTheShell) {
    // A client that asks and then goes away leaves the marshalled object unredeemed; the host's
    // apartment lives on, as it does in a host.
    Apartment apartment(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(apartment.result()));
    const auto cycle = [] {
        ShellSession session;
        if (!session) return false;
        ::SendMessageW(g_shell->window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
        for (HWND child = ::GetWindow(g_shell->window, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            ::SendMessageW(child, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
        return true;
    };
    ASSERT_TRUE(cycle());
    const std::size_t before = HeapBlocksInUse();
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(cycle());
    EXPECT_LE(HeapBlocksInUse(), before + 16);
}

TEST(ShellAccessibility, RefusesEveryOutPointerLeftNull) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    for (const HWND window : {g_shell->window, g_shell->agreementCheckbox}) {
        SCOPED_TRACE(::GetDlgCtrlID(window));
        ComPtr<IAccessible> object = ClientObject(window);
        ASSERT_TRUE(object);
        LONG left = 0, top = 0, width = 0, height = 0, topic = 0;
        BSTR file = nullptr;
        EXPECT_EQ(object->accLocation(nullptr, nullptr, nullptr, nullptr, Self()), E_POINTER);
        EXPECT_EQ(object->accLocation(&left, &top, nullptr, nullptr, Self()), E_POINTER);
        EXPECT_EQ(object->accLocation(nullptr, nullptr, &width, &height, Self()), E_POINTER);
        EXPECT_EQ(object->get_accHelpTopic(&file, Self(), nullptr), E_POINTER);
        EXPECT_EQ(object->get_accHelpTopic(nullptr, Self(), &topic), E_POINTER);
        EXPECT_EQ(object->accLocation(&left, &top, &width, &height, Self()), S_OK);
        EXPECT_GT(width, 0);
    }
}

TEST(ShellAccessibility, AHostInTheMultithreadedApartmentLeavesClientsTheSystemsObjects) {
    Apartment apartment(COINIT_MULTITHREADED);
    ASSERT_EQ(apartment.result(), S_OK);
    ShellSession session;
    ASSERT_TRUE(session);
    // Another thread of the apartment would be handed the object itself and call it beside the
    // window's thread; the system's object, made for that, answers it instead.
    const HWND box = g_shell->agreementCheckbox;
    const UniqueHandleKernel finished = NewEvent();
    LONG role = 0;
    std::thread client([&] {
        {
            Apartment multithreaded(COINIT_MULTITHREADED);
            if (ComPtr<IAccessible> object = ClientObject(box)) role = RoleOf(*object.get());
        }
        ::SetEvent(finished.get());
    });
    const bool clientFinished = PumpUntil(finished.get());
    client.join();
    ASSERT_TRUE(clientFinished);
    EXPECT_NE(role, 0);
    EXPECT_NE(role, ROLE_SYSTEM_CHECKBUTTON);
}

TEST(ShellAccessibility, ReferencesTakenOnTwoThreadsAtOnceKeepTheCount) {
    ShellSession session;
    ASSERT_TRUE(session);
    // In its own apartment the client holds the object itself.
    ComPtr<IAccessible> object = ClientObject(g_shell->agreementCheckbox);
    ASSERT_TRUE(object);
    ASSERT_EQ(RoleOf(*object.get()), ROLE_SYSTEM_CHECKBUTTON);
    const ULONG held = object->AddRef() - 1;
    object->Release();
    std::atomic<int> ready = 0;
    const auto churn = [&] {
        ++ready;
        while (ready < 2) {
        }
        for (int i = 0; i < 200000; ++i) {
            object->AddRef();
            object->Release();
        }
    };
    std::thread first(churn), second(churn);
    first.join();
    second.join();
    EXPECT_EQ(object->AddRef(), held + 1);
    object->Release();
}

TEST(ShellAccessibility, AClickThatArrivesAfterItsControlStoppedTakingClicksIsIgnored) {
    // A screen reader's default action is posted; the host changes the screen before it arrives.
    const struct {
        const char* step;
        Field control;
        std::function<void()> then;
        std::function<int()> outcome;
    } steps[] = {
        {"the agreement box, hidden by the running screen", &ShellContext::agreementCheckbox,
         [] { ::ShellState(ShellStateRunning, 5, L"正在安装", L"", L"", L""); },
         [] { return g_shell->agreementAccepted; }},
        {"the shortcut box, disabled", &ShellContext::shortcutCheckbox,
         [] { ::EnableWindow(g_shell->shortcutCheckbox, FALSE); }, [] { return g_shell->createShortcut; }},
        // As the folder browser's modal loop does: a second browser must not open over the first.
        {"the options button, while the shell is disabled", &ShellContext::optionsButton,
         [] { ::EnableWindow(g_shell->window, FALSE); }, [] { return g_shell->optionsExpanded; }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        ShellSession session;
        ASSERT_TRUE(session);
        ASSERT_EQ(::ShellShow(), 0u);
        Command(g_shell->optionsButton);
        ComPtr<IAccessible> object = ClientObject(g_shell.get()->*step.control);
        ASSERT_TRUE(object);
        const int before = step.outcome();
        EXPECT_EQ(object->accDoDefaultAction(Self()), S_OK);
        step.then();
        ::ShellPoll();
        EXPECT_EQ(step.outcome(), before);
        ::EnableWindow(g_shell->window, TRUE);
    }
}

TEST(ShellAccessibility, TheHostsClickActsOnAHiddenControlWhereTheScreenReadersIsRefused) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    // The options panel is closed: the shortcut box is hidden.
    const HWND box = g_shell->shortcutCheckbox;
    ASSERT_FALSE(::GetWindowLongW(box, GWL_STYLE) & WS_VISIBLE);
    wchar_t directory[MAX_PATH] = {};
    const int32_t before = ::ShellOptions(directory, MAX_PATH);

    ComPtr<IAccessible> object = ClientObject(box);
    ASSERT_TRUE(object);
    EXPECT_TRUE(FAILED(object->accDoDefaultAction(Self())));
    ::ShellPoll();
    EXPECT_EQ(::ShellOptions(directory, MAX_PATH), before);

    ::SendMessageW(box, BM_CLICK, 0, 0);
    ::ShellPoll();
    EXPECT_EQ(::ShellOptions(directory, MAX_PATH), before ? 0 : 1);
}

TEST(ShellAccessibility, TheWindowsChildrenAreReachedThroughItsObject) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    ComPtr<IAccessible> window = ClientObject(g_shell->window);
    ASSERT_TRUE(window);
    LONG count = 0;
    ASSERT_EQ(window->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, 15);
    std::vector<VARIANT> children(count);
    LONG obtained = 0;
    ASSERT_EQ(::AccessibleChildren(window.get(), 0, count, children.data(), &obtained), S_OK);
    std::set<HWND> reached;
    for (LONG i = 0; i < obtained; ++i) {
        if (children[i].vt == VT_DISPATCH && children[i].pdispVal) {
            ComPtr<IAccessible> child;
            HWND childWindow = nullptr;
            if (SUCCEEDED(children[i].pdispVal->QueryInterface(kAccessible, child.put_void())) &&
                SUCCEEDED(::WindowFromAccessibleObject(child.get(), &childWindow)) &&
                ::GetParent(childWindow) == g_shell->window)
                reached.insert(childWindow);
        }
        ::VariantClear(&children[i]);
    }
    EXPECT_EQ(obtained, count);
    EXPECT_EQ(reached.size(), 15u);

    // A child id is the standard object's to answer, as the system's own object of the window does.
    ComPtr<IAccessible> standard;
    ASSERT_EQ(::CreateStdAccessibleObject(g_shell->window, OBJID_CLIENT, kAccessible, standard.put_void()),
              S_OK);
    for (const LONG id : {1L, 7L, 15L}) {
        SCOPED_TRACE(id);
        BSTR ours = nullptr, theirs = nullptr;
        EXPECT_EQ(window->get_accName(Child(id), &ours), standard->get_accName(Child(id), &theirs));
        EXPECT_EQ(TakeText(ours), TakeText(theirs));
        EXPECT_EQ(RoleOf(*window.get(), Child(id)), RoleOf(*standard.get(), Child(id)));
        ComPtr<IDispatch> ourChild, theirChild;
        EXPECT_EQ(window->get_accChild(Child(id), ourChild.put()),
                  standard->get_accChild(Child(id), theirChild.put()));
    }
}

TEST(ShellAccessibility, EverySpellingOfSelfIsTheObjectItself) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    ComPtr<IAccessible> box = ClientObject(g_shell->agreementCheckbox);
    ASSERT_TRUE(box);
    LONG zero = CHILDID_SELF;
    VARIANT empty{}, omitted{}, byReference{};
    omitted.vt = VT_ERROR;
    omitted.scode = DISP_E_PARAMNOTFOUND;
    byReference.vt = VT_I4 | VT_BYREF;
    byReference.plVal = &zero;
    const struct {
        const char* spelling;
        VARIANT child;
    } spellings[] = {{"empty", empty}, {"omitted", omitted}, {"by reference", byReference}};
    for (const auto& s : spellings) {
        SCOPED_TRACE(s.spelling);
        BSTR name = nullptr, action = nullptr;
        EXPECT_EQ(box->get_accName(s.child, &name), S_OK);
        EXPECT_EQ(TakeText(name), L"同意用户协议与隐私政策");
        EXPECT_EQ(RoleOf(*box.get(), s.child), ROLE_SYSTEM_CHECKBUTTON);
        EXPECT_EQ(box->get_accDefaultAction(s.child, &action), S_OK);
        EXPECT_EQ(TakeText(action), L"清除");
        LONG left = 0, top = 0, width = 0, height = 0;
        EXPECT_EQ(box->accLocation(&left, &top, &width, &height, s.child), S_OK);
    }
}

TEST(ShellAccessibility, ALateBoundClientReadsTheObjectThroughIDispatch) {
    {
        // {1EA4DBF0-3C3B-11CF-810C-00AA00389B71}
        constexpr GUID kAccessibilityLibrary = {
            0x1ea4dbf0, 0x3c3b, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
        ComPtr<ITypeLib> library;
        if (FAILED(::LoadRegTypeLib(kAccessibilityLibrary, 1, 1, LOCALE_NEUTRAL, library.put())))
            GTEST_SKIP() << "this platform's oleacc registers no Accessibility type library";
    }
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    ComPtr<IAccessible> object = ClientObject(g_shell->agreementCheckbox);
    ASSERT_TRUE(object);
    UINT infos = 0;
    EXPECT_EQ(object->GetTypeInfoCount(&infos), S_OK);
    EXPECT_EQ(infos, 1u);
    const struct {
        const wchar_t* member;
        DISPID id;
    } members[] = {
        {L"accName", DISPID_ACC_NAME}, {L"accRole", DISPID_ACC_ROLE}, {L"accLocation", DISPID_ACC_LOCATION}};
    for (const auto& m : members) {
        DISPID id = 0;
        auto* name = const_cast<LPOLESTR>(m.member);
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK) << m.id;
        EXPECT_EQ(id, m.id);
    }
    // With the child left out, as a script writes it, and with it given.
    VARIANT self = Self();
    DISPPARAMS withoutChild{}, withChild{&self, nullptr, 1, 0};
    for (DISPPARAMS* parameters : {&withoutChild, &withChild}) {
        VARIANT name{}, role{};
        EXPECT_EQ(object->Invoke(DISPID_ACC_NAME, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                 parameters, &name, nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(name.vt, VT_BSTR);
        EXPECT_EQ(TakeText(name.bstrVal), L"同意用户协议与隐私政策");
        EXPECT_EQ(object->Invoke(DISPID_ACC_ROLE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                 parameters, &role, nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(role.vt, VT_I4);
        EXPECT_EQ(role.lVal, ROLE_SYSTEM_CHECKBUTTON);
    }
}

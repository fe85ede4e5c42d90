#include "shell/accessible_object.h"

#include <new>
#include <string>

#include "common/export_guard.h"
#include "shell/accessible_facts.h"

namespace tovrak {
namespace {

class ControlAccessible final : public ShellAccessible {
  public:
    ControlAccessible(HWND control, DescribeControlFn describe, ComPtr<IAccessible> standard) noexcept
        : control_(control), describe_(describe), standard_(std::move(standard)) {}
    ControlAccessible(const ControlAccessible&) = delete;
    ControlAccessible& operator=(const ControlAccessible&) = delete;

    void Disconnect() noexcept override {
        control_ = nullptr;
        standard_.reset();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: clients of this object call IAccessible directly; there is no type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible: what the shell knows.
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        AccessibleFacts facts;
        if (const HRESULT result = Describe(SelfChild(), facts); FAILED(result)) return result;
        return facts.container ? standard_->get_accChildCount(count) : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT which, IDispatch** child) override {
        if (!child) return E_POINTER;
        *child = nullptr;
        AccessibleFacts facts;
        if (const HRESULT result = Describe(SelfChild(), facts); FAILED(result)) return result;
        return facts.container ? standard_->get_accChild(which, child) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return AnswerText(child, name,
                          [](const AccessibleFacts& facts, BSTR* out) { return Text(facts.name, out); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return AnswerText(child, value, [](const AccessibleFacts& facts, BSTR* out) {
            return facts.hasValue ? Text(facts.value, out) : DISP_E_MEMBERNOTFOUND;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return AnswerText(child, action, [](const AccessibleFacts& facts, BSTR* out) {
            return facts.defaultAction ? Text(facts.defaultAction, out) : DISP_E_MEMBERNOTFOUND;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return AnswerNumber(child, role, &AccessibleFacts::role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return AnswerNumber(child, state, &AccessibleFacts::state);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        AccessibleFacts facts;
        if (const HRESULT result = Describe(child, facts); FAILED(result)) return result;
        if (!facts.defaultAction) return DISP_E_MEMBERNOTFOUND;
        if (facts.state & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE)) return E_FAIL;
        // Posted: the click may open the folder browser's modal loop, and the client's call has to
        // return first, as it does for the system's own buttons.
        return ::PostMessageW(control_, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
    }

    // IAccessible: what the standard proxy of the same window knows.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        return standard_ ? standard_->get_accParent(parent) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (!description) return E_POINTER;
        *description = nullptr;
        AccessibleFacts facts;
        if (const HRESULT result = Describe(child, facts); FAILED(result)) return result;
        if (facts.hasDescription) return Text(facts.description, description);
        return standard_->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return Delegate(help, [&] { return standard_->get_accHelp(child, help); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return Delegate(file, [&] { return standard_->get_accHelpTopic(file, child, topic); });
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return Delegate(shortcut, [&] { return standard_->get_accKeyboardShortcut(child, shortcut); });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        return DelegateVariant(focus, [&] { return standard_->get_accFocus(focus); });
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return DelegateVariant(selection, [&] { return standard_->get_accSelection(selection); });
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return standard_ ? standard_->accSelect(flags, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return standard_ ? standard_->accLocation(left, top, width, height, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return DelegateVariant(end, [&] { return standard_->accNavigate(direction, start, end); });
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return DelegateVariant(child, [&] { return standard_->accHitTest(x, y, child); });
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  private:
    ~ControlAccessible() = default;

    static VARIANT SelfChild() noexcept {
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        return self;
    }

    static bool IsSelf(const VARIANT& child) noexcept {
        return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
    }

    static HRESULT Text(std::wstring_view text, BSTR* out) noexcept {
        *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT Describe(const VARIANT& child, AccessibleFacts& facts) const noexcept {
        if (!control_) return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child)) return E_INVALIDARG;
        const bool described = GuardExport(false, [&] { return describe_(control_, facts); });
        return described ? S_OK : CO_E_OBJNOTCONNECTED;
    }

    template <typename Answer>
    HRESULT AnswerText(const VARIANT& child, BSTR* out, Answer answer) const noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        AccessibleFacts facts;
        if (const HRESULT result = Describe(child, facts); FAILED(result)) return result;
        return answer(facts, out);
    }

    // A role or state: a number of the child's facts, given as VT_I4.
    HRESULT AnswerNumber(const VARIANT& child, VARIANT* out, LONG AccessibleFacts::*member) const noexcept {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        AccessibleFacts facts;
        if (const HRESULT result = Describe(child, facts); FAILED(result)) return result;
        out->vt = VT_I4;
        out->lVal = facts.*member;
        return S_OK;
    }

    template <typename Out, typename Call>
    HRESULT Delegate(Out* out, Call call) const noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        return standard_ ? call() : CO_E_OBJNOTCONNECTED;
    }

    template <typename Call>
    HRESULT DelegateVariant(VARIANT* out, Call call) const noexcept {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        return standard_ ? call() : CO_E_OBJNOTCONNECTED;
    }

    // The object lives on the host's UI thread, the one that owns the window.
    ULONG references_ = 1;
    HWND control_;
    DescribeControlFn describe_;
    ComPtr<IAccessible> standard_;
};

}  // namespace

ComPtr<ShellAccessible> CreateShellAccessible(HWND control, DescribeControlFn describe,
                                              const OleaccFunctions& oleacc) noexcept {
    if (!oleacc.createStdAccessibleObject) return {};
    ComPtr<IAccessible> standard;
    if (FAILED(oleacc.createStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                standard.put_void())) ||
        !standard) {
        return {};
    }
    return ComPtr<ShellAccessible>(new (std::nothrow)
                                       ControlAccessible(control, describe, std::move(standard)));
}

}  // namespace tovrak

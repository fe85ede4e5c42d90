#include "shell/accessible_object.h"

#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <new>
#include <string>

#include "common/export_guard.h"
#include "shell/accessibility.h"
#include "shell/accessible_facts.h"

namespace tovrak {
namespace {

// The Accessibility type library that oleacc registers; it describes IAccessible for late-bound
// clients. Spelled out here because oleacc is never linked.
constexpr GUID kAccessibilityLibrary = {
    0x1ea4dbf0, 0x3c3b, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr WORD kAccessibilityLibraryMajor = 1;
constexpr WORD kAccessibilityLibraryMinor = 1;

// IAccessible as the type library describes it: `dispatch` is what a client is given and reads names
// from; `vtable` is the interface half of the dual interface, which DispInvoke calls through.
struct AccessibleTypeInfo {
    ComPtr<ITypeInfo> dispatch;
    ComPtr<ITypeInfo> vtable;
};

AccessibleTypeInfo LoadAccessibleTypeInfo() noexcept {
    AccessibleTypeInfo info;
    ComPtr<ITypeLib> library;
    if (FAILED(::LoadRegTypeLib(kAccessibilityLibrary, kAccessibilityLibraryMajor, kAccessibilityLibraryMinor,
                                LOCALE_NEUTRAL, library.put())) ||
        FAILED(library->GetTypeInfoOfGuid(__uuidof(IAccessible), info.dispatch.put()))) {
        return {};
    }
    TYPEATTR* attributes = nullptr;
    if (FAILED(info.dispatch->GetTypeAttr(&attributes))) return {};
    const bool dual = attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL);
    info.dispatch->ReleaseTypeAttr(attributes);
    HREFTYPE interfaceHalf = 0;
    // -1 names the interface half of a dual interface.
    if (!dual || FAILED(info.dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &interfaceHalf)) ||
        FAILED(info.dispatch->GetRefTypeInfo(interfaceHalf, info.vtable.put()))) {
        return {};
    }
    return info;
}

VARIANT SelfChild() noexcept {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

// Every spelling of "the object itself" that clients use: late-bound callers leave the optional
// argument out (VT_EMPTY, or VT_ERROR with DISP_E_PARAMNOTFOUND), and some pass the number by reference.
bool IsSelf(const VARIANT& child) noexcept {
    switch (child.vt) {
        case VT_EMPTY:
            return true;
        case VT_ERROR:
            return child.scode == DISP_E_PARAMNOTFOUND;
        case VT_I4:
            return child.lVal == CHILDID_SELF;
        case VT_I4 | VT_BYREF:
            return child.plVal && *child.plVal == CHILDID_SELF;
        default:
            return false;
    }
}

// What the standard proxy is asked for: "self" in the one spelling every implementation accepts.
VARIANT ForStandard(const VARIANT& child) noexcept {
    return IsSelf(child) ? SelfChild() : child;
}

class ControlAccessible final : public ShellAccessible {
  public:
    ControlAccessible(HWND control, DescribeControlFn describe, ComPtr<IAccessible> standard) noexcept
        : control_(control), describe_(describe), standard_(std::move(standard)) {}
    ControlAccessible(const ControlAccessible&) = delete;
    ControlAccessible& operator=(const ControlAccessible&) = delete;

    void Disconnect() noexcept override {
        control_ = nullptr;
        standard_.reset();
        typeInfo_ = {};
        // The stubs COM made for clients in other apartments and processes (every screen reader) hold
        // references of their own, as does an object served by WM_GETOBJECT that no client redeemed.
        // They are released now: a client's later call or release gets an error from COM instead of
        // reaching this object, which the host may have unloaded with the library.
        ::CoDisconnectObject(static_cast<IAccessible*>(this), 0);
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        // The window's children are its child windows, which the standard proxy enumerates as objects;
        // AccessibleChildren asks for the enumerator first.
        if (iid == __uuidof(IEnumVARIANT) && IsContainer()) return standard_->QueryInterface(iid, object);
        return E_NOINTERFACE;
    }
    // Counted atomically although every call should arrive on the window's thread: a client that
    // breaks the apartment's rules must not free the object under another.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch, for late-bound clients, from the type library that describes IAccessible.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        const AccessibleTypeInfo* type = nullptr;
        *count = SUCCEEDED(LateBinding(type)) ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        const AccessibleTypeInfo* type = nullptr;
        if (const HRESULT result = LateBinding(type); FAILED(result)) return result;
        *info = type->dispatch.get();
        (*info)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (!names || !ids) return E_POINTER;
        const AccessibleTypeInfo* type = nullptr;
        if (const HRESULT result = LateBinding(type); FAILED(result)) return result;
        return ::DispGetIDsOfNames(type->dispatch.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (!parameters) return E_POINTER;
        const AccessibleTypeInfo* type = nullptr;
        if (const HRESULT loaded = LateBinding(type); FAILED(loaded)) return loaded;
        return ::DispInvoke(static_cast<IAccessible*>(this), type->vtable.get(), id, flags, parameters,
                            result, exception, badArgument);
    }

    // IAccessible: what the shell knows of the control itself; its children are the standard proxy's.
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        AccessibleFacts facts;
        if (const HRESULT result = Describe(facts); FAILED(result)) return result;
        return facts.container ? standard_->get_accChildCount(count) : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT which, IDispatch** child) override {
        if (!child) return E_POINTER;
        *child = nullptr;
        return Standard([&](IAccessible& standard) { return standard.get_accChild(which, child); });
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return AnswerText(
            child, name, [](const AccessibleFacts& facts, BSTR* out) { return Text(facts.name, out); },
            [&](IAccessible& standard) { return standard.get_accName(child, name); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return AnswerText(
            child, value,
            [](const AccessibleFacts& facts, BSTR* out) {
                return facts.hasValue ? Text(facts.value, out) : DISP_E_MEMBERNOTFOUND;
            },
            [&](IAccessible& standard) { return standard.get_accValue(child, value); });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return AnswerText(
            child, action,
            [](const AccessibleFacts& facts, BSTR* out) {
                return facts.defaultAction ? Text(facts.defaultAction, out) : DISP_E_MEMBERNOTFOUND;
            },
            [&](IAccessible& standard) { return standard.get_accDefaultAction(child, action); });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return AnswerText(
            child, description,
            [this](const AccessibleFacts& facts, BSTR* out) {
                if (facts.hasDescription) return Text(facts.description, out);
                return standard_->get_accDescription(SelfChild(), out);
            },
            [&](IAccessible& standard) { return standard.get_accDescription(child, description); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return AnswerNumber(child, role, &AccessibleFacts::role,
                            [&](IAccessible& standard) { return standard.get_accRole(child, role); });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return AnswerNumber(child, state, &AccessibleFacts::state,
                            [&](IAccessible& standard) { return standard.get_accState(child, state); });
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child))
            return Standard([&](IAccessible& standard) { return standard.accDoDefaultAction(child); });
        AccessibleFacts facts;
        if (const HRESULT result = Describe(facts); FAILED(result)) return result;
        if (!facts.defaultAction) return DISP_E_MEMBERNOTFOUND;
        if (facts.state & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE)) return E_FAIL;
        // Posted: the click may open the folder browser's modal loop, and the client's call has to
        // return first, as it does for the system's own buttons.
        return ::PostMessageW(control_, kAccessibleClickMessage, 0, 0) ? S_OK : E_FAIL;
    }

    // IAccessible: what the standard proxy of the same window knows.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        return Standard([&](IAccessible& standard) { return standard.get_accParent(parent); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        if (!help) return E_POINTER;
        *help = nullptr;
        return Standard(
            [&](IAccessible& standard) { return standard.get_accHelp(ForStandard(child), help); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        if (!file || !topic) return E_POINTER;
        *file = nullptr;
        *topic = 0;
        return Standard([&](IAccessible& standard) {
            return standard.get_accHelpTopic(file, ForStandard(child), topic);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        if (!shortcut) return E_POINTER;
        *shortcut = nullptr;
        return Standard([&](IAccessible& standard) {
            return standard.get_accKeyboardShortcut(ForStandard(child), shortcut);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        focus->vt = VT_EMPTY;
        return Standard([&](IAccessible& standard) { return standard.get_accFocus(focus); });
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        selection->vt = VT_EMPTY;
        return Standard([&](IAccessible& standard) { return standard.get_accSelection(selection); });
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return Standard([&](IAccessible& standard) { return standard.accSelect(flags, ForStandard(child)); });
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        // The standard proxy writes through all four without looking.
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        return Standard([&](IAccessible& standard) {
            return standard.accLocation(left, top, width, height, ForStandard(child));
        });
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        end->vt = VT_EMPTY;
        return Standard(
            [&](IAccessible& standard) { return standard.accNavigate(direction, ForStandard(start), end); });
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        if (!child) return E_POINTER;
        child->vt = VT_EMPTY;
        return Standard([&](IAccessible& standard) { return standard.accHitTest(x, y, child); });
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  private:
    ~ControlAccessible() = default;

    static HRESULT Text(std::wstring_view text, BSTR* out) noexcept {
        *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT Describe(AccessibleFacts& facts) const noexcept {
        if (!control_) return CO_E_OBJNOTCONNECTED;
        const bool described = GuardExport(false, [&] { return describe_(control_, facts); });
        return described ? S_OK : CO_E_OBJNOTCONNECTED;
    }

    bool IsContainer() const noexcept {
        AccessibleFacts facts;
        return SUCCEEDED(Describe(facts)) && facts.container;
    }

    template <typename Call>
    HRESULT Standard(Call call) const noexcept {
        return control_ && standard_ ? call(*standard_.get()) : CO_E_OBJNOTCONNECTED;
    }

    template <typename Answer, typename Delegate>
    HRESULT AnswerText(const VARIANT& child, BSTR* out, Answer answer, Delegate delegate) const noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsSelf(child)) return Standard(delegate);
        AccessibleFacts facts;
        if (const HRESULT result = Describe(facts); FAILED(result)) return result;
        return answer(facts, out);
    }

    // A role or state: a number of the control's facts, given as VT_I4.
    template <typename Delegate>
    HRESULT AnswerNumber(const VARIANT& child, VARIANT* out, LONG AccessibleFacts::*member,
                         Delegate delegate) const noexcept {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!IsSelf(child)) return Standard(delegate);
        AccessibleFacts facts;
        if (const HRESULT result = Describe(facts); FAILED(result)) return result;
        out->vt = VT_I4;
        out->lVal = facts.*member;
        return S_OK;
    }

    // The type information, loaded at the first late-bound call; E_NOTIMPL where the type library
    // is not registered.
    HRESULT LateBinding(const AccessibleTypeInfo*& type) noexcept {
        if (!control_) return CO_E_OBJNOTCONNECTED;
        if (!typeInfo_.vtable) typeInfo_ = LoadAccessibleTypeInfo();
        type = &typeInfo_;
        return typeInfo_.vtable ? S_OK : E_NOTIMPL;
    }

    std::atomic<ULONG> references_{1};
    // The object lives on the host's UI thread, the one that owns the window.
    HWND control_;
    DescribeControlFn describe_;
    ComPtr<IAccessible> standard_;
    AccessibleTypeInfo typeInfo_;
};

}  // namespace

bool CanServeShellAccessible() noexcept {
    // In a single-threaded apartment every client outside it reaches the object through a proxy, and
    // COM brings each call to this thread. In the multithreaded apartment clients on other threads
    // would be handed the object itself and call it at the same time as the window's thread changes
    // the shell; there the system's object, made for that, answers instead.
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    return SUCCEEDED(::CoGetApartmentType(&type, &qualifier)) &&
           (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
}

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

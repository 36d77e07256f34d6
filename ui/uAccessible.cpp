#include "uWin.h"

#include "platform/uCom.h"

#include <oleacc.h>

// A control's accessible object as the system makes it, with one change: its
// name is the text of the label that names the control. Wine's standard
// objects give edits and lists no name, even with a label just before them,
// so the name is given explicitly.
namespace {
class TNamedAccessible final : public IAccessible, public IOleWindow {
public:
    TNamedAccessible(platform::TComPtr<IAccessible> inner, HWND window, std::wstring name)
        : FInner(std::move(inner)), FWindow(window), FName(std::move(name))
    {
    }
    TNamedAccessible(const TNamedAccessible&) = delete;
    TNamedAccessible& operator=(const TNamedAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible))
            *out = static_cast<IAccessible*>(this);
        else if (riid == __uuidof(IOleWindow))
            *out = static_cast<IOleWindow*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = InterlockedDecrement(&FRefs);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    // IOleWindow: which window the object stands for.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (!window)
            return E_POINTER;
        *window = FWindow;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return FInner->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override
    {
        return FInner->GetTypeInfo(i, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override
    {
        return FInner->GetIDsOfNames(riid, names, n, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
        VARIANT* result, EXCEPINFO* info, UINT* arg) override
    {
        return FInner->Invoke(id, riid, lcid, flags, params, result, info, arg);
    }

    // IAccessible: the name of the control itself is ours, all else the system's.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        if (!name)
            return E_POINTER;
        if (child.vt == VT_I4 && child.lVal == CHILDID_SELF) {
            *name = SysAllocString(FName.c_str());
            return *name ? S_OK : E_OUTOFMEMORY;
        }
        return FInner->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return FInner->get_accParent(p); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* n) override { return FInner->get_accChildCount(n); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** p) override { return FInner->get_accChild(c, p); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override { return FInner->get_accValue(c, v); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* v) override
    {
        return FInner->get_accDescription(c, v);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT c, VARIANT* v) override { return FInner->get_accRole(c, v); }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* v) override { return FInner->get_accState(c, v); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* v) override { return FInner->get_accHelp(c, v); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT c, LONG* topic) override
    {
        return FInner->get_accHelpTopic(file, c, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* v) override
    {
        return FInner->get_accKeyboardShortcut(c, v);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* v) override { return FInner->get_accFocus(v); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* v) override { return FInner->get_accSelection(v); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* v) override
    {
        return FInner->get_accDefaultAction(c, v);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT c) override { return FInner->accSelect(flags, c); }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT c) override
    {
        return FInner->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG dir, VARIANT start, VARIANT* end) override
    {
        return FInner->accNavigate(dir, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* v) override { return FInner->accHitTest(x, y, v); }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override { return FInner->accDoDefaultAction(c); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR v) override { return FInner->put_accName(c, v); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return FInner->put_accValue(c, v); }

private:
    ~TNamedAccessible() = default; // only through Release

    platform::TComPtr<IAccessible> FInner;
    HWND FWindow;
    std::wstring FName;
    LONG FRefs = 1;
};
} // namespace

namespace ui_detail {

LRESULT AnswerAccessibleObject(HWND window, WPARAM wParam, const std::wstring& name)
{
    platform::TComPtr<IAccessible> inner;
    if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), inner.ReceiveVoid())) || !inner)
        return 0;
    // Born with one reference, which this owner gives back; the result holds
    // its own (or a marshalled one for another process).
    const platform::TComPtr<TNamedAccessible> named(new TNamedAccessible(std::move(inner), window, name));
    const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(named.Get()));
    return result > 0 ? result : 0;
}

} // namespace ui_detail

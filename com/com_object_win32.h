#pragma once
// What the COM classes marlet.exe serves share: the classes themselves, the
// reference count with the server lock, QueryInterface over a table, the
// IDispatch members that are alike for both, and the way a failure reaches
// the caller.
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <new>
#include <string>

#include "platform/error.h"

namespace marlet::com {

// QuickBooks' callback interface, as its SDK event library describes it:
// derived from IUnknown, oleautomation, one method at the first slot.
extern const IID IID_IQBEventCallback;
struct IQBEventCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE inform(BSTR eventXML) = 0;
};

extern const CLSID CLSID_QBMenuListener;
extern const CLSID CLSID_cmOptions;

// New objects, ready for QueryInterface(riid).
HRESULT createListener(REFIID riid, void** object);
HRESULT createOptions(REFIID riid, void** object);

// Every object (and every server lock) counts: the server stops when the count
// falls to zero.
void objectCreated();
void objectDestroyed();

// An interface an object hands out, and the object seen as it.
struct Interface {
    const IID& iid;
    IUnknown* as;
};

// The life of one object: created with one reference, counted by the server
// while it lives, deleted with its last reference.
class ComObject {
public:
    ComObject() { objectCreated(); }
    virtual ~ComObject() { objectDestroyed(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

protected:
    ULONG addRef() { return ++refs_; }
    ULONG release() {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    // QueryInterface: the first entry of `table` whose IID is `riid`.
    HRESULT query(REFIID riid, void** object, std::initializer_list<Interface> table) {
        if (!object) return E_POINTER;
        for (const Interface& i : table)
            if (riid == i.iid) {
                *object = i.as;
                addRef();
                return S_OK;
            }
        *object = nullptr;
        return E_NOINTERFACE;
    }

private:
    ULONG refs_ = 1;
};

// A new object of class T (created with one reference), asked for `riid`.
template <class T>
HRESULT createAndQuery(REFIID riid, void** object) {
    T* created = new (std::nothrow) T();
    if (!created) return E_OUTOFMEMORY;
    HRESULT hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
}

// --- IDispatch without type information, members found by name.
// GetIDsOfNames: `find` gives the DISPID of a member's name (DISPID_UNKNOWN for
// none); there are no named arguments.
template <class Find>
HRESULT idsOfNames(LPOLESTR* names, UINT count, DISPID* ids, Find find) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; i++) ids[i] = DISPID_UNKNOWN;
    ids[0] = find(names[0]);
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}
// Whether two member names are the same in any letter case.
bool sameName(const wchar_t* a, const wchar_t* b);
HRESULT noTypeInfoCount(UINT* count);
HRESULT noTypeInfo(ITypeInfo** info);

// The first argument converted to `type` into `value` (to be cleared by the
// caller); DISP_E_TYPEMISMATCH, with `argError`, when it does not convert.
HRESULT argumentAs(const DISPPARAMS& params, VARTYPE type, UINT* argError, VARIANT& value);
// The one text argument of a method, as UTF-8.
HRESULT oneTextArgument(const DISPPARAMS* params, UINT* argError, std::string& text);

// A BSTR as UTF-8.
std::string bstrText(BSTR text);

// --- failures
// The HRESULT for a failure: HRESULTs stay as they are, running out of memory is
// E_OUTOFMEMORY, the program's other numbered errors become control-facility
// codes (53 -> 0x800A0035).
HRESULT hresultOf(const Error& e);

// The failure as the callee reports it through a vtable call: the thread's error
// object carries the description and `source` (the object's ProgID), and the
// HRESULT is returned.
HRESULT reportFailure(const Error& e, REFIID iid, const char* source);

// The same failure for IDispatch::Invoke.
HRESULT reportDispatchFailure(const Error& e, const char* source, EXCEPINFO* info);

// Runs `body`; what it throws comes back in `failure` (caughtError).
template <class F>
bool runGuarded(F&& body, Error& failure) {
    try {
        body();
        return true;
    } catch (...) {
        failure = caughtError();
    }
    return false;
}

}  // namespace marlet::com

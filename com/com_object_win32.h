#pragma once
// The COM classes marlet.exe serves, and what they share.
#include <windows.h>
#include <oaidl.h>

#include <new>
#include <stdexcept>
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

// A new object of class T (created with one reference), asked for `riid`.
template <class T>
HRESULT createAndQuery(REFIID riid, void** object) {
    T* created = new (std::nothrow) T();
    if (!created) return E_OUTOFMEMORY;
    HRESULT hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
}

// Every object (and every server lock) counts: the server stops when the count
// falls to zero.
void objectCreated();
void objectDestroyed();

// The HRESULT for a failure: HRESULTs stay as they are, the program's own
// numbered errors become control-facility codes (53 -> 0x800A0035).
HRESULT hresultOf(const Error& e);

// The failure as the callee reports it through a vtable call: the thread's error
// object carries the description, and the HRESULT is returned.
HRESULT reportFailure(const Error& e, REFIID iid, const wchar_t* source);

// The same failure for IDispatch::Invoke.
HRESULT reportDispatchFailure(const Error& e, const wchar_t* source, EXCEPINFO* info);

// Runs `body`, turning anything it throws into an Error.
template <class F>
bool runGuarded(F&& body, Error& failure) {
    try {
        body();
        return true;
    } catch (const Error& e) {
        failure = e;
    } catch (const std::bad_alloc&) {
        failure = Error(E_OUTOFMEMORY, "Out of memory");
    } catch (const std::exception& e) {
        failure = Error(E_UNEXPECTED, std::string("Internal error: ") + e.what());
    }
    return false;
}

// A BSTR (or a variant that converts to text) as UTF-8.
std::string textOf(BSTR text);

}  // namespace marlet::com

// Marlet.QBMenuListener: QuickBooks' callback object. QuickBooks calls it through
// IQBEventCallback; scripts reach the same `inform` through IDispatch. Every call
// returns at once: what it leads to waits in menuEvents() for the server's loop.
#include "com/com_object_win32.h"
#include "events/qb_menu_listener.h"
#include "qb/menu_subscription.h"

namespace marlet::com {

// {A3A4E33E-E747-48CF-947B-93FDE67FF72F}
const IID IID_IQBEventCallback = {0xA3A4E33E, 0xE747, 0x48CF, {0x94, 0x7B, 0x93, 0xFD, 0xE6, 0x7F, 0xF7, 0x2F}};

namespace {

constexpr DISPID kDispidInform = 1;
constexpr const char* kSource = kListenerProgID;

class ListenerObject final : public IQBEventCallback, public IDispatch, public ISupportErrorInfo, ComObject {
public:
    ListenerObject() = default;

    // The file tools; their failure is the creation's, and its box follows from the loop.
    bool initialize(Error& failure) {
        return runGuarded([&] { listener_.createFileTools(); }, failure);
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        IUnknown* callback = static_cast<IQBEventCallback*>(this);
        return query(riid, object,
                     {{IID_IUnknown, callback},
                      {IID_IQBEventCallback, callback},
                      {IID_IDispatch, static_cast<IDispatch*>(this)},
                      {IID_ISupportErrorInfo, static_cast<ISupportErrorInfo*>(this)}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    // IQBEventCallback
    HRESULT STDMETHODCALLTYPE inform(BSTR eventXML) override {
        Error failure(0, "");
        if (runInform(bstrText(eventXML), failure)) return S_OK;
        return reportFailure(failure, IID_IQBEventCallback, kSource);
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_IQBEventCallback ? S_OK : S_FALSE;
    }

    // IDispatch: one method, `inform`.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return noTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override { return noTypeInfo(info); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return idsOfNames(names, count, ids, [](const wchar_t* name) {
            return sameName(name, L"inform") ? kDispidInform : DISPID_UNKNOWN;
        });
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* argError) override {
        if (id != kDispidInform) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        std::string xml;
        HRESULT hr = oneTextArgument(params, argError, xml);
        if (FAILED(hr)) return hr;
        Error failure(0, "");
        bool ok = runInform(xml, failure);
        if (result) VariantInit(result);
        return ok ? S_OK : reportDispatchFailure(failure, kSource, info);
    }

private:
    ~ListenerObject() override = default;

    bool runInform(const std::string& xml, Error& failure) {
        return runGuarded([&] { listener_.inform(xml); }, failure);
    }

    QBMenuListener listener_;
};

}  // namespace

HRESULT createListener(REFIID riid, void** object) {
    ListenerObject* created = new (std::nothrow) ListenerObject();
    if (!created) return E_OUTOFMEMORY;
    Error failure(0, "");
    HRESULT hr = created->initialize(failure) ? created->QueryInterface(riid, object) : hresultOf(failure);
    created->Release();
    return hr;
}

}  // namespace marlet::com

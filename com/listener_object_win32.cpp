// Marlet.QBMenuListener: QuickBooks' callback object. QuickBooks calls it through
// IQBEventCallback; scripts reach the same `inform` through IDispatch.
#include "com/com_object_win32.h"
#include "events/qb_menu_listener.h"

namespace marlet::com {

// {A3A4E33E-E747-48CF-947B-93FDE67FF72F}
const IID IID_IQBEventCallback = {0xA3A4E33E, 0xE747, 0x48CF, {0x94, 0x7B, 0x93, 0xFD, 0xE6, 0x7F, 0xF7, 0x2F}};

namespace {

constexpr DISPID kDispidInform = 1;
constexpr const wchar_t* kSource = L"Marlet.QBMenuListener";

class ListenerObject final : public IQBEventCallback, public IDispatch, public ISupportErrorInfo {
public:
    ListenerObject() {
        objectCreated();
        listener_.Class_Initialize();  // ends the process when the file tools are missing
    }
    ListenerObject(const ListenerObject&) = delete;
    ListenerObject& operator=(const ListenerObject&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IQBEventCallback)
            *object = static_cast<IQBEventCallback*>(this);
        else if (riid == IID_IDispatch)
            *object = static_cast<IDispatch*>(this);
        else if (riid == IID_ISupportErrorInfo)
            *object = static_cast<ISupportErrorInfo*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    // IQBEventCallback
    HRESULT STDMETHODCALLTYPE inform(BSTR eventXML) override {
        Error failure(0, "");
        if (runInform(eventXML, failure)) return S_OK;
        return reportFailure(failure, IID_IQBEventCallback, kSource);
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_IQBEventCallback ? S_OK : S_FALSE;
    }

    // IDispatch: one method, `inform`.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; i++) ids[i] = DISPID_UNKNOWN;
        if (_wcsicmp(names[0], L"inform") == 0)
            ids[0] = kDispidInform;
        else
            hr = DISP_E_UNKNOWNNAME;
        if (count > 1) hr = DISP_E_UNKNOWNNAME;  // inform has no named arguments
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* argError) override {
        if (id != kDispidInform) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) {
            if (argError) *argError = 0;
            return DISP_E_TYPEMISMATCH;
        }
        Error failure(0, "");
        bool ok = runInform(text.bstrVal, failure);
        VariantClear(&text);
        if (result) VariantInit(result);
        return ok ? S_OK : reportDispatchFailure(failure, kSource, info);
    }

private:
    ~ListenerObject() {
        listener_.Class_Terminate();
        objectDestroyed();
    }

    bool runInform(BSTR eventXML, Error& failure) {
        std::string xml = textOf(eventXML);
        return runGuarded([&] { listener_.inform(xml); }, failure);
    }

    ULONG refs_ = 1;
    QBMenuListener listener_;
};

}  // namespace

HRESULT createListener(REFIID riid, void** object) { return createAndQuery<ListenerObject>(riid, object); }

}  // namespace marlet::com

// Marlet.cmOptions: an options record for scripts. Each object is a record of
// its own with the defaults; it is not the process's gOptions.
#include "com/com_object_win32.h"
#include "platform/win32/win32_util.h"
#include "settings/options.h"

namespace marlet::com {

namespace {

constexpr const wchar_t* kSource = L"Marlet.cmOptions";

enum : DISPID {
    kDisplayTwain = 1,
    kDxPath,
    kConfigPath,
    kDisplayDorvex,
    kPromptMemo,
    kDebugMode,
    kReadOptions,
    kWriteOptions,
};

struct Member {
    const wchar_t* name;
    DISPID id;
    bool cmOptions::*flag;         // a Boolean property
    std::string cmOptions::*text;  // a text property
};

const Member kMembers[] = {
    {L"displayTwain", kDisplayTwain, &cmOptions::displayTwain, nullptr},
    {L"dxPath", kDxPath, nullptr, &cmOptions::dxPath},
    {L"configPath", kConfigPath, nullptr, &cmOptions::configPath},
    {L"displayDorvex", kDisplayDorvex, &cmOptions::displayDorvex, nullptr},
    {L"promptMemo", kPromptMemo, &cmOptions::promptMemo, nullptr},
    {L"debugMode", kDebugMode, &cmOptions::debugMode, nullptr},
    {L"readOptions", kReadOptions, nullptr, nullptr},
    {L"writeOptions", kWriteOptions, nullptr, nullptr},
};

const Member* memberOf(DISPID id) {
    for (const Member& m : kMembers)
        if (m.id == id) return &m;
    return nullptr;
}

class OptionsObject final : public IDispatch {
public:
    OptionsObject() { objectCreated(); }
    OptionsObject(const OptionsObject&) = delete;
    OptionsObject& operator=(const OptionsObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

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
        for (UINT i = 0; i < count; i++) ids[i] = DISPID_UNKNOWN;
        for (const Member& m : kMembers)
            if (_wcsicmp(names[0], m.name) == 0) ids[0] = m.id;
        return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* argError) override {
        const Member* m = memberOf(id);
        if (!m) return DISP_E_MEMBERNOTFOUND;
        if (!params) return E_INVALIDARG;
        if (result) VariantInit(result);

        if (m->flag || m->text) {
            if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
                if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                VARIANT v;
                VariantInit(&v);
                HRESULT hr = VariantChangeType(&v, &params->rgvarg[0], 0, m->flag ? VT_BOOL : VT_BSTR);
                if (FAILED(hr)) {
                    if (argError) *argError = 0;
                    return DISP_E_TYPEMISMATCH;
                }
                if (m->flag)
                    record_.*(m->flag) = v.boolVal != VARIANT_FALSE;
                else
                    record_.*(m->text) = textOf(v.bstrVal);
                VariantClear(&v);
                return S_OK;
            }
            if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
            if (!result) return S_OK;
            if (m->flag) {
                result->vt = VT_BOOL;
                result->boolVal = record_.*(m->flag) ? VARIANT_TRUE : VARIANT_FALSE;
            } else {
                std::wstring w = widen(record_.*(m->text));
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
            }
            return S_OK;
        }

        // readOptions(FilePath) / writeOptions(FilePath)
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        VARIANT path;
        VariantInit(&path);
        if (FAILED(VariantChangeType(&path, &params->rgvarg[0], 0, VT_BSTR))) {
            if (argError) *argError = 0;
            return DISP_E_TYPEMISMATCH;
        }
        std::string filePath = textOf(path.bstrVal);
        VariantClear(&path);
        Error failure(0, "");
        bool ok = runGuarded(
            [&] {
                if (id == kReadOptions)
                    record_.readOptions(filePath);
                else
                    record_.writeOptions(filePath);
            },
            failure);
        return ok ? S_OK : reportDispatchFailure(failure, kSource, info);
    }

private:
    ~OptionsObject() { objectDestroyed(); }

    ULONG refs_ = 1;
    cmOptions record_;
};

}  // namespace

HRESULT createOptions(REFIID riid, void** object) { return createAndQuery<OptionsObject>(riid, object); }

}  // namespace marlet::com

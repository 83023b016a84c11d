// Marlet.cmOptions: an options record for scripts. Each object is a record of
// its own with the defaults; it is not the process's gOptions. Its members, in
// the order of its interface: each setting's get and set (the DISPID is the
// setting's line), then writeOptions, then readOptions.
#include <string>

#include "com/com_object_win32.h"
#include "platform/win32/win32_util.h"
#include "settings/options.h"

namespace marlet::com {

namespace {

constexpr const char* kSource = kOptionsProgID;
constexpr DISPID kWriteOptions = static_cast<DISPID>(std::size(kSettings)) + 1;
constexpr DISPID kReadOptions = kWriteOptions + 1;

const Setting* settingOf(DISPID id) {
    for (const Setting& s : kSettings)
        if (s.line == id) return &s;
    return nullptr;
}

class OptionsObject final : public IDispatch, ComObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return query(riid, object, {{IID_IUnknown, this}, {IID_IDispatch, this}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return noTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override { return noTypeInfo(info); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return idsOfNames(names, count, ids, [](const wchar_t* name) {
            for (const Setting& s : kSettings)
                if (sameName(name, widen(s.name).c_str())) return static_cast<DISPID>(s.line);
            if (sameName(name, L"writeOptions")) return kWriteOptions;
            if (sameName(name, L"readOptions")) return kReadOptions;
            return static_cast<DISPID>(DISPID_UNKNOWN);
        });
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* argError) override {
        const Setting* setting = settingOf(id);
        if (!setting && id != kReadOptions && id != kWriteOptions) return DISP_E_MEMBERNOTFOUND;
        if (!params) return E_INVALIDARG;
        if (result) VariantInit(result);
        if (setting) return property(*setting, flags, *params, result, argError);

        // writeOptions(FilePath) / readOptions(FilePath)
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        std::string filePath;
        HRESULT hr = oneTextArgument(params, argError, filePath);
        if (FAILED(hr)) return hr;
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
    HRESULT property(const Setting& s, WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argError) {
        bool flag = s.kind == SettingKind::Boolean;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
            VARIANT v;
            HRESULT hr = argumentAs(params, flag ? VT_BOOL : VT_BSTR, argError, v);
            if (FAILED(hr)) return hr;
            if (flag)
                record_.*s.flag = v.boolVal != VARIANT_FALSE;
            else
                record_.*s.text = bstrText(v.bstrVal);
            VariantClear(&v);
            return S_OK;
        }
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (!result) return S_OK;
        if (flag) {
            result->vt = VT_BOOL;
            result->boolVal = record_.*s.flag ? VARIANT_TRUE : VARIANT_FALSE;
        } else {
            std::wstring w = widen(record_.*s.text);
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
        }
        return S_OK;
    }

    cmOptions record_;
};

}  // namespace

HRESULT createOptions(REFIID riid, void** object) { return createAndQuery<OptionsObject>(riid, object); }

}  // namespace marlet::com

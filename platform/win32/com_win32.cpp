// Automation objects created by ProgID and called by member name, what the
// registry says about classes, and the registry's values Marlet reads.
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <vector>

#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_util.h"

namespace marlet::win32 {

void ensureCom() {
    static bool done = false;
    if (done) return;
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr) && hr != RPC_E_CHANGED_MODE) throw hresultError(hr);
    done = true;
}

namespace {

Value fromVariant(const VARIANT& v) {
    switch (v.vt) {
    case VT_BSTR:
        return v.bstrVal ? narrow(v.bstrVal, SysStringLen(v.bstrVal)) : std::string();
    case VT_BOOL:
        return v.boolVal != VARIANT_FALSE;
    case VT_I4:
        return static_cast<int32_t>(v.lVal);
    case VT_I2:
        return static_cast<int32_t>(v.iVal);
    default: {
        VARIANT text;
        VariantInit(&text);
        if (v.vt != VT_EMPTY && v.vt != VT_NULL &&
            SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&v), 0, VT_BSTR))) {
            Value r = narrow(text.bstrVal, SysStringLen(text.bstrVal));
            VariantClear(&text);
            return r;
        }
        return std::monostate{};
    }
    }
}

class DispatchObject : public AutoObject {
public:
    explicit DispatchObject(IDispatch* d) : d_(d) {}
    ~DispatchObject() override { d_->Release(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    Value call(const std::string& member, const std::vector<Value>& args) override {
        std::wstring name = widen(member);
        LPOLESTR names[] = {name.data()};
        DISPID id;
        HRESULT hr = d_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) throw hresultError(hr);

        std::vector<VARIANT> v(args.size());
        for (size_t i = 0; i < args.size(); i++) {
            VARIANT& x = v[args.size() - 1 - i];  // arguments go in reverse order
            VariantInit(&x);
            const Value& a = args[i];
            if (auto s = std::get_if<std::string>(&a)) {
                std::wstring w = widen(*s);
                x.vt = VT_BSTR;
                x.bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
            } else if (auto b = std::get_if<bool>(&a)) {
                x.vt = VT_BOOL;
                x.boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
            } else if (auto n = std::get_if<int32_t>(&a)) {
                x.vt = VT_I4;
                x.lVal = *n;
            }
        }
        DISPPARAMS params = {v.data(), nullptr, static_cast<UINT>(v.size()), 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO info = {};
        hr = d_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        &result, &info, nullptr);
        for (VARIANT& x : v) VariantClear(&x);
        if (hr == DISP_E_EXCEPTION) {
            if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
            std::string description = info.bstrDescription
                                          ? narrow(info.bstrDescription, SysStringLen(info.bstrDescription))
                                          : std::string();
            HRESULT code = info.scode ? info.scode : (info.wCode ? info.wCode : hr);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrHelpFile);
            if (description.empty()) description = systemMessage(static_cast<DWORD>(code));
            throw Error(static_cast<int32_t>(code), description);
        }
        if (FAILED(hr)) throw hresultError(hr);
        Value r = fromVariant(result);
        VariantClear(&result);
        return r;
    }

private:
    IDispatch* d_;
};

}  // namespace

std::unique_ptr<AutoObject> createObject(const std::string& progId) {
    ensureCom();
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(widen(progId).c_str(), &clsid);
    if (FAILED(hr)) throw hresultError(hr);
    IDispatch* d = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&d));
    if (FAILED(hr)) throw hresultError(hr);
    return std::make_unique<DispatchObject>(d);
}

std::string classesValue(const std::string& key, RegistryView view) {
    // A 32-bit program's other view is the 64-bit one, and the other way round.
    REGSAM other = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY k;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, widen(key).c_str(), 0, KEY_QUERY_VALUE | (view == RegistryView::Other ? other : 0),
                      &k) != ERROR_SUCCESS)
        return "";
    std::wstring value(512, L'\0');
    DWORD type = 0, bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    LONG r = RegQueryValueExW(k, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
    value.resize(bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return narrow(value);
}

RegistryValue registryValue(bool machine, const std::string& key, const std::string& name) {
    RegistryValue out;
    HKEY k;
    // KEY_WOW64_64KEY: a 32-bit build reads the values a 64-bit tool (reg.exe,
    // Group Policy) wrote; 32-bit Windows ignores it.
    if (RegOpenKeyExW(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, widen(key).c_str(), 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &k) != ERROR_SUCCESS)
        return out;
    std::wstring wideName = widen(name);
    DWORD type = 0, bytes = 0;
    LONG r = RegQueryValueExW(k, wideName.c_str(), nullptr, &type, nullptr, &bytes);
    std::vector<BYTE> data(bytes + sizeof(wchar_t), 0);  // room for a missing ending null
    if (r == ERROR_SUCCESS) r = RegQueryValueExW(k, wideName.c_str(), nullptr, &type, data.data(), &bytes);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS) return out;
    out.type = static_cast<RegType>(type);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), bytes / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        out.text = narrow(text);
    } else if (type == REG_DWORD && bytes == sizeof(DWORD)) {
        DWORD n;
        memcpy(&n, data.data(), sizeof n);
        out.number = n;
    } else if (type == REG_DWORD) {
        out.type = static_cast<RegType>(REG_BINARY);  // a DWORD of the wrong size is no number
    }
    return out;
}

}  // namespace marlet::win32

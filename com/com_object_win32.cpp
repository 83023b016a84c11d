#include "com/com_object_win32.h"

#include <oleauto.h>

#include "platform/win32/win32_util.h"

namespace marlet::com {

std::string bstrText(BSTR text) { return text ? narrow(text, SysStringLen(text)) : std::string(); }

bool sameName(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b) == 0; }

HRESULT noTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT noTypeInfo(ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT argumentAs(const DISPPARAMS& params, VARTYPE type, UINT* argError, VARIANT& value) {
    VariantInit(&value);
    if (FAILED(VariantChangeType(&value, &params.rgvarg[0], 0, type))) {
        if (argError) *argError = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT oneTextArgument(const DISPPARAMS* params, UINT* argError, std::string& text) {
    if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    VARIANT value;
    HRESULT hr = argumentAs(*params, VT_BSTR, argError, value);
    if (FAILED(hr)) return hr;
    text = bstrText(value.bstrVal);
    VariantClear(&value);
    return S_OK;
}

HRESULT hresultOf(const Error& e) {
    int32_t n = e.number();
    if (n < 0) return static_cast<HRESULT>(n);
    if (n == kErrOutOfMemory) return E_OUTOFMEMORY;
    if (n == kErrInternal) return E_UNEXPECTED;
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n & 0xFFFF);
}

HRESULT reportFailure(const Error& e, REFIID iid, const char* source) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        std::wstring description = widen(e.description());
        std::wstring wideSource = widen(source);
        create->SetGUID(iid);
        create->SetSource(wideSource.data());
        create->SetDescription(description.data());
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return hresultOf(e);
}

HRESULT reportDispatchFailure(const Error& e, const char* source, EXCEPINFO* info) {
    if (!info) return hresultOf(e);
    *info = EXCEPINFO{};
    std::wstring description = widen(e.description());
    info->bstrSource = SysAllocString(widen(source).c_str());
    info->bstrDescription = SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
    info->scode = hresultOf(e);
    return DISP_E_EXCEPTION;
}

}  // namespace marlet::com

// The QBSDKEVENTLib type library, built at run time: one interface,
// IQBEventCallback : IUnknown, flagged oleautomation, with inform([in] BSTR).
#include <string>

#include "qb_event_callback.h"

// Our own library identifier for the stand-in's type library.
// {F1234DE6-8773-49B0-BCB2-9B1C1F281532}
static const GUID kLibId = {0xF1234DE6, 0x8773, 0x49B0, {0xBC, 0xB2, 0x9B, 0x1C, 0x1F, 0x28, 0x15, 0x32}};
// stdole2.tlb, where IUnknown is described.
static const GUID kStdOle = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Described for this build's own bitness, as QuickBooks' installer does for
// its own: a 32-bit process loads the file registered under "win32".
static const SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
static const wchar_t* const kSysKey = sizeof(void*) == 8 ? L"win64" : L"win32";

template <class T>
static void release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

static HRESULT build(const std::wstring& path) {
    ICreateTypeLib2* lib = nullptr;
    ICreateTypeInfo* info = nullptr;
    ITypeLib* stdole = nullptr;
    ITypeInfo* unknown = nullptr;
    HRESULT hr = CreateTypeLib2(kSysKind, path.c_str(), &lib);
    if (SUCCEEDED(hr)) hr = lib->SetGuid(kLibId);
    if (SUCCEEDED(hr)) hr = lib->SetName(const_cast<LPOLESTR>(L"QBSDKEVENTLib"));
    if (SUCCEEDED(hr)) hr = lib->SetVersion(1, 0);
    if (SUCCEEDED(hr)) hr = lib->SetLcid(LOCALE_NEUTRAL);
    if (SUCCEEDED(hr)) hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(L"IQBEventCallback"), TKIND_INTERFACE, &info);
    if (SUCCEEDED(hr)) hr = info->SetGuid(IID_IQBEventCallback);
    if (SUCCEEDED(hr)) hr = info->SetTypeFlags(TYPEFLAG_FOLEAUTOMATION);
    if (SUCCEEDED(hr)) hr = LoadRegTypeLib(kStdOle, 2, 0, LOCALE_NEUTRAL, &stdole);
    if (SUCCEEDED(hr)) hr = stdole->GetTypeInfoOfGuid(IID_IUnknown, &unknown);
    HREFTYPE base = 0;
    if (SUCCEEDED(hr)) hr = info->AddRefTypeInfo(unknown, &base);
    if (SUCCEEDED(hr)) hr = info->AddImplType(0, base);
    if (SUCCEEDED(hr)) {
        ELEMDESC param = {};
        param.tdesc.vt = VT_BSTR;
        param.paramdesc.wParamFlags = PARAMFLAG_FIN;
        FUNCDESC f = {};
        f.memid = 0x60010000;
        f.funckind = FUNC_PUREVIRTUAL;
        f.invkind = INVOKE_FUNC;
        f.callconv = CC_STDCALL;
        f.cParams = 1;
        f.lprgelemdescParam = &param;
        f.elemdescFunc.tdesc.vt = VT_HRESULT;
        f.oVft = 3 * sizeof(void*);
        hr = info->AddFuncDesc(0, &f);
    }
    if (SUCCEEDED(hr)) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"inform"), const_cast<LPOLESTR>(L"eventXML")};
        hr = info->SetFuncAndParamNames(0, names, 2);
    }
    if (SUCCEEDED(hr)) hr = info->LayOut();
    if (SUCCEEDED(hr)) hr = lib->SaveAllChanges();
    release(unknown);
    release(stdole);
    release(info);
    release(lib);
    return hr;
}

HRESULT installEventTypeLib(const std::wstring& folder) {
    std::wstring path = folder + L"\\qbsdkevent.tlb";
    HRESULT hr = build(path);
    if (FAILED(hr)) return hr;
    ITypeLib* lib = nullptr;
    hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &lib);
    release(lib);
    return hr;
}

HRESULT uninstallEventTypeLib() { return UnRegisterTypeLib(kLibId, 1, 0, LOCALE_NEUTRAL, kSysKind); }

// Registered, and the registered file still there (a library registered from a
// folder since deleted leaves COM unable to marshal the interface).
bool eventTypeLibInstalled() {
    wchar_t iid[40], lib[40];
    StringFromGUID2(IID_IQBEventCallback, iid, 40);
    StringFromGUID2(kLibId, lib, 40);
    wchar_t value[MAX_PATH * 2] = {};
    LONG size = sizeof value;
    std::wstring proxy = std::wstring(L"Interface\\") + iid + L"\\ProxyStubClsid32";
    if (RegQueryValueW(HKEY_CLASSES_ROOT, proxy.c_str(), value, &size) != ERROR_SUCCESS) return false;
    size = sizeof value;
    std::wstring file = std::wstring(L"TypeLib\\") + lib + L"\\1.0\\0\\" + kSysKey;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, file.c_str(), value, &size) != ERROR_SUCCESS) return false;
    return GetFileAttributesW(value) != INVALID_FILE_ATTRIBUTES;
}

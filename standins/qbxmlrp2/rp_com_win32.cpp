// qbxmlrp2.dll: the request-processor stand-in as an in-process, apartment-
// threaded automation server under the SDK's ProgIDs and CLSIDs. Every object
// reads the files beside the DLL when it is created (see README.md).
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <memory>
#include <new>
#include <string>

#include "standins/qbxmlrp2/rp_core.h"

namespace {

// QBXMLRP2.RequestProcessor.1 and .2; the version-independent ProgID names .2.
const CLSID kClsid1 = {0x45F5708E, 0x3B43, 0x4FA8, {0xBE, 0x7E, 0xA5, 0xF1, 0x84, 0x92, 0x14, 0xCB}};
const CLSID kClsid2 = {0x71F531F5, 0x8E67, 0x4A7A, {0x91, 0x61, 0x15, 0x73, 0x3F, 0xFC, 0x32, 0x06}};

struct Member {
    const wchar_t* name;
    DISPID id;
    int args;
};
enum : DISPID {
    kProcessRequest = 1,
    kOpenConnection = 2,
    kCloseConnection = 3,
    kBeginSession = 4,
    kEndSession = 5,
    kGetCurrentCompanyFileName = 6,
    kProcessSubscription = 13,
    kOpenConnection2 = 15,
};
const Member kMembers[] = {
    {L"ProcessRequest", kProcessRequest, 2},   {L"OpenConnection", kOpenConnection, 2},
    {L"CloseConnection", kCloseConnection, 0}, {L"BeginSession", kBeginSession, 2},
    {L"EndSession", kEndSession, 1},           {L"ProcessSubscription", kProcessSubscription, 1},
    {L"OpenConnection2", kOpenConnection2, 3}, {L"GetCurrentCompanyFileName", kGetCurrentCompanyFileName, 1},
};

HMODULE gModule = nullptr;
LONG gObjects = 0;
LONG gLocks = 0;

std::wstring modulePath() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(gModule, path, MAX_PATH);
    return std::wstring(path, n);
}

std::string utf8(const wchar_t* w, size_t length) {
    if (length == 0) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w, int(length), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, int(length), s.data(), n, nullptr, nullptr);
    return s;
}

BSTR bstr(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    BSTR b = SysAllocStringLen(nullptr, UINT(n));
    if (b && n) MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), b, n);
    return b;
}

// One argument in the wanted type; false when it cannot be converted.
bool textArg(VARIANTARG& in, std::string& out) {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantChangeType(&v, &in, 0, VT_BSTR))) return false;
    out = utf8(v.bstrVal, SysStringLen(v.bstrVal));
    VariantClear(&v);
    return true;
}

bool intArg(VARIANTARG& in, int& out) {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantChangeType(&v, &in, 0, VT_I4))) return false;
    out = v.lVal;
    return true;
}

class RequestProcessor final : public IDispatch {
public:
    RequestProcessor()
        : rp_(std::make_shared<qbrp::Company>(std::filesystem::path(modulePath()).parent_path())) {
        InterlockedIncrement(&gObjects);
    }
    ~RequestProcessor() { InterlockedDecrement(&gObjects); }

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
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
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
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; i++) {
            ids[i] = DISPID_UNKNOWN;
            if (i == 0)
                for (const Member& m : kMembers)
                    if (_wcsicmp(names[0], m.name) == 0) ids[0] = m.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* argError) override {
        const Member* member = nullptr;
        for (const Member& m : kMembers)
            if (m.id == id) member = &m;
        if (!member) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
        if (!params) return E_POINTER;
        if (params->cNamedArgs) return DISP_E_NONAMEDARGS;
        if (int(params->cArgs) != member->args) return DISP_E_BADPARAMCOUNT;
        // Arguments arrive last first.
        auto arg = [&](int i) -> VARIANTARG& { return params->rgvarg[member->args - 1 - i]; };
        std::string text[3];
        int number = 0;
        for (int i = 0; i < member->args; i++) {
            bool isNumber = (id == kOpenConnection2 && i == 2) || (id == kBeginSession && i == 1);
            if (!(isNumber ? intArg(arg(i), number) : textArg(arg(i), text[i]))) {
                if (argError) *argError = UINT(member->args - 1 - i);
                return DISP_E_TYPEMISMATCH;
            }
        }
        try {
            std::string answer;
            bool answers = false;
            switch (id) {
            case kOpenConnection: rp_.OpenConnection(text[0], text[1]); break;
            case kOpenConnection2: rp_.OpenConnection2(text[0], text[1], number); break;
            case kCloseConnection: rp_.CloseConnection(); break;
            case kBeginSession: answer = rp_.BeginSession(text[0], number), answers = true; break;
            case kEndSession: rp_.EndSession(text[0]); break;
            case kGetCurrentCompanyFileName: answer = rp_.GetCurrentCompanyFileName(text[0]), answers = true; break;
            case kProcessRequest: answer = rp_.ProcessRequest(text[0], text[1]), answers = true; break;
            case kProcessSubscription: answer = rp_.ProcessSubscription(text[0]), answers = true; break;
            }
            if (result) {
                VariantInit(result);
                if (answers) {
                    result->vt = VT_BSTR;
                    result->bstrVal = bstr(answer);
                }
            }
            return S_OK;
        } catch (const qbrp::Fault& f) {
            return raise(info, f.hresult, f.description);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& e) {
            return raise(info, E_FAIL, e.what());
        }
    }

private:
    static HRESULT raise(EXCEPINFO* info, HRESULT code, const std::string& description) {
        if (!info) return code;
        *info = EXCEPINFO{};
        info->bstrSource = SysAllocString(L"QBXMLRP2.RequestProcessor");
        info->bstrDescription = bstr(description);
        info->scode = code;
        return DISP_E_EXCEPTION;
    }

    LONG refs_ = 1;
    qbrp::RequestProcessor rp_;
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        RequestProcessor* rp = new (std::nothrow) RequestProcessor();
        if (!rp) return E_OUTOFMEMORY;
        HRESULT hr = rp->QueryInterface(riid, object);
        rp->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&gLocks);
        else
            InterlockedDecrement(&gLocks);
        return S_OK;
    }
};

Factory gFactory;

// --- registration

std::wstring guidText(const CLSID& clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return text;
}

bool setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

const wchar_t kProgID[] = L"QBXMLRP2.RequestProcessor";

bool registerClass(const CLSID& clsid, const std::wstring& progID, const std::wstring& dll) {
    std::wstring key = L"CLSID\\" + guidText(clsid);
    return setValue(key, nullptr, L"qbXML request processor (stand-in)") &&
           setValue(key + L"\\InprocServer32", nullptr, dll) &&
           setValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
           setValue(key + L"\\ProgID", nullptr, progID) &&
           setValue(key + L"\\VersionIndependentProgID", nullptr, kProgID) &&
           setValue(progID, nullptr, L"qbXML request processor (stand-in)") &&
           setValue(progID + L"\\CLSID", nullptr, guidText(clsid));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != kClsid1 && clsid != kClsid2) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return gObjects == 0 && gLocks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    std::wstring dll = modulePath();
    std::wstring current = std::wstring(kProgID) + L".2";
    bool ok = registerClass(kClsid1, std::wstring(kProgID) + L".1", dll) &&
              registerClass(kClsid2, current, dll) &&
              setValue(kProgID, nullptr, L"qbXML request processor (stand-in)") &&
              setValue(std::wstring(kProgID) + L"\\CLSID", nullptr, guidText(kClsid2)) &&
              setValue(std::wstring(kProgID) + L"\\CurVer", nullptr, current);
    return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    const std::wstring keys[] = {
        L"CLSID\\" + guidText(kClsid1), L"CLSID\\" + guidText(kClsid2), std::wstring(kProgID) + L".1",
        std::wstring(kProgID) + L".2",  kProgID,
    };
    for (const std::wstring& key : keys) RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    return S_OK;
}

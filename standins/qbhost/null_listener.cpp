// A COM local server whose listener does nothing in inform: what the cost of a
// menu event round trip is measured against. Registers itself with /regserver
// as "Bench.NullListener" and serves after -Embedding until its last object goes.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "qb_event_callback.h"

namespace {

// {876B30D9-8202-43F9-8674-970478522E90}
const CLSID kClsid = {0x876B30D9, 0x8202, 0x43F9, {0x86, 0x74, 0x97, 0x04, 0x78, 0x52, 0x2E, 0x90}};
const wchar_t kProgId[] = L"Bench.NullListener";
DWORD gThread = 0;

void released() {
    if (CoReleaseServerProcess() == 0) PostThreadMessageW(gThread, WM_QUIT, 0, 0);
}

class NullListener final : public IQBEventCallback {
public:
    NullListener() { CoAddRefServerProcess(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IQBEventCallback) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IQBEventCallback*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) {
            delete this;
            released();
        }
        return n;
    }
    HRESULT STDMETHODCALLTYPE inform(BSTR) override { return S_OK; }

private:
    ULONG refs_ = 1;
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        NullListener* l = new NullListener();
        HRESULT hr = l->QueryInterface(riid, object);
        l->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? static_cast<void>(CoAddRefServerProcess()) : released();
        return S_OK;
    }
};

bool setValue(const std::wstring& key, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    std::wstring line = commandLine;
    wchar_t clsid[40];
    StringFromGUID2(kClsid, clsid, 40);
    std::wstring key = std::wstring(L"CLSID\\") + clsid;
    if (line.find(L"unregserver") != std::wstring::npos) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
        RegDeleteKeyW(HKEY_CLASSES_ROOT, kProgId);
        return 0;
    }
    if (line.find(L"regserver") != std::wstring::npos) {
        wchar_t exe[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
        bool ok = setValue(std::wstring(kProgId) + L"\\CLSID", clsid) && setValue(key + L"\\ProgID", kProgId) &&
                  setValue(key + L"\\LocalServer32", L"\"" + std::wstring(exe, n) + L"\"");
        return ok ? 0 : 1;
    }
    if (line.find(L"mbedding") == std::wstring::npos) return 0;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    gThread = GetCurrentThreadId();
    static Factory factory;
    DWORD cookie = 0;
    CoRegisterClassObject(kClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}

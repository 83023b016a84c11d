// Kelvorn.FileTools stand-in: StartDoc(path) opens the document with the shell.
// Every object and every call is recorded in filetools.log beside the DLL, one
// line each, UTF-8:
//   create <object> <process id>
//   StartDoc <object> <path> <outcome>
// where <object> counts the objects of one process from 1, and <outcome> is
// "opened", "shell-error <code>" or "missing". A missing document raises
// "File not found" (53) to the caller; a document the shell cannot open does not.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <shellapi.h>

#include <new>
#include <string>

namespace {

// {887CF56D-91A3-4C75-A2FB-B00696442501}
const CLSID kClsid = {0x887CF56D, 0x91A3, 0x4C75, {0xA2, 0xFB, 0xB0, 0x06, 0x96, 0x44, 0x25, 0x01}};
const wchar_t kProgId[] = L"Kelvorn.FileTools";
constexpr DISPID kDispidStartDoc = 1;

HMODULE gModule = nullptr;
LONG gObjects = 0;
LONG gLocks = 0;
LONG gCreated = 0;

std::wstring moduleFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(gModule, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void record(const std::string& line) {
    std::wstring path = moduleFolder() + L"filetools.log";
    HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\r\n";
    DWORD written;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

class FileTools final : public IDispatch {
public:
    FileTools() : number_(InterlockedIncrement(&gCreated)) {
        InterlockedIncrement(&gObjects);
        record("create " + std::to_string(number_) + " " + std::to_string(GetCurrentProcessId()));
    }

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
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        for (UINT i = 0; i < count; i++) ids[i] = DISPID_UNKNOWN;
        if (_wcsicmp(names[0], L"StartDoc") != 0 || count > 1) return DISP_E_UNKNOWNNAME;
        ids[0] = kDispidStartDoc;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* argError) override {
        if (id != kDispidStartDoc || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT path;
        VariantInit(&path);
        if (FAILED(VariantChangeType(&path, &params->rgvarg[0], 0, VT_BSTR))) {
            if (argError) *argError = 0;
            return DISP_E_TYPEMISMATCH;
        }
        std::wstring document(path.bstrVal, SysStringLen(path.bstrVal));
        VariantClear(&path);
        if (result) VariantInit(result);
        return startDoc(document, info);
    }

private:
    ~FileTools() { InterlockedDecrement(&gObjects); }

    HRESULT startDoc(const std::wstring& document, EXCEPINFO* info) {
        std::string head = "StartDoc " + std::to_string(number_) + " " + utf8(document) + " ";
        if (GetFileAttributesW(document.c_str()) == INVALID_FILE_ATTRIBUTES) {
            record(head + "missing");
            if (info) {
                *info = EXCEPINFO{};
                info->bstrSource = SysAllocString(kProgId);
                info->bstrDescription = SysAllocString(L"File not found");
                info->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 53);
            }
            return DISP_E_EXCEPTION;
        }
        // The shell is loaded when a document is opened, not with the object.
        using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
        HMODULE shell = LoadLibraryW(L"shell32.dll");
        auto shellExecuteEx = shell ? reinterpret_cast<ShellExecuteExFn>(
                                          reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteExW")))
                                    : nullptr;
        SHELLEXECUTEINFOW sei = {};
        sei.cbSize = sizeof sei;
        sei.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
        sei.lpVerb = L"open";
        sei.lpFile = document.c_str();
        sei.nShow = SW_SHOWNORMAL;
        if (shellExecuteEx && shellExecuteEx(&sei))
            record(head + "opened");
        else
            record(head + "shell-error " + std::to_string(GetLastError()));
        return S_OK;
    }

    LONG refs_ = 1;
    LONG number_;
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
        FileTools* tools = new (std::nothrow) FileTools();
        if (!tools) return E_OUTOFMEMORY;
        HRESULT hr = tools->QueryInterface(riid, object);
        tools->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? InterlockedIncrement(&gLocks) : InterlockedDecrement(&gLocks);
        return S_OK;
    }
};

Factory gFactory;

std::wstring clsidText() {
    wchar_t text[40];
    StringFromGUID2(kClsid, text, 40);
    return text;
}

bool setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() { return gObjects == 0 && gLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(gModule, path, MAX_PATH);
    std::wstring key = L"CLSID\\" + clsidText();
    bool ok = setValue(kProgId, nullptr, L"Kelvorn file tools") &&
              setValue(std::wstring(kProgId) + L"\\CLSID", nullptr, clsidText()) &&
              setValue(key, nullptr, L"Kelvorn file tools") && setValue(key + L"\\ProgID", nullptr, kProgId) &&
              setValue(key + L"\\InprocServer32", nullptr, std::wstring(path, n)) &&
              setValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsidText()).c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsidText()).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kProgId);
    return S_OK;
}

// marlet.exe as a COM local server: registration of its public classes, and
// serving them on the one thread when COM starts the process.
#include "com/com_server_win32.h"

#include <windows.h>
#include <oleauto.h>

#include <cwctype>
#include <iterator>

#include "app/log.h"
#include "com/com_object_win32.h"
#include "events/event_queue.h"
#include "events/qb_menu_listener.h"
#include "qb/menu_subscription.h"
#include "settings/options.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_util.h"

namespace marlet {

namespace com {

// {15B42DA8-7878-4EE2-B4B7-1A9BE5C3D21B}
const CLSID CLSID_QBMenuListener = {0x15B42DA8, 0x7878, 0x4EE2, {0xB4, 0xB7, 0x1A, 0x9B, 0xE5, 0xC3, 0xD2, 0x1B}};
// {29C16FFB-9829-4231-AA2A-93C2D2896D6F}
const CLSID CLSID_cmOptions = {0x29C16FFB, 0x9829, 0x4231, {0xAA, 0x2A, 0x93, 0xC2, 0xD2, 0x89, 0x6D, 0x6F}};

namespace {

struct ComClass {
    const char* progId;
    const wchar_t* description;
    const CLSID* clsid;
    HRESULT (*create)(REFIID riid, void** object);
};

const ComClass kClasses[] = {
    {kListenerProgID, L"Marlet QuickBooks menu listener", &CLSID_QBMenuListener, createListener},
    {kOptionsProgID, L"Marlet options record", &CLSID_cmOptions, createOptions},
};

constexpr size_t kClassCount = std::size(kClasses);

// The server's state while it serves; nothing else keeps any.
struct Server {
    DWORD servingThread = 0;
    bool lastObjectGone = false;        // COM hands out no more objects: the loop ends
    HWND wakeWindow = nullptr;          // the menu events' wake-up (below)
    DWORD cookies[kClassCount] = {};    // the class objects' registrations
};
Server gServer;

// The menu events' work runs from this message-only window's procedure, in the
// serving thread's loop. A box's or dialog's own loop dispatches the wake-up
// too; the queue then leaves the new work to the run that is under way.
constexpr UINT kWakeUp = WM_APP + 1;

LRESULT CALLBACK wakeProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message != kWakeUp) return DefWindowProcW(window, message, wp, lp);
    try {
        menuEvents().runWaiting();
    } catch (...) {
        logLine("menu event failed: " + supportErrorText(caughtError()));
    }
    return 0;
}

// Work that waits holds the server, as an object does: the process ends, and
// COM stops handing out its objects, only once the last piece is done.
void workArrived() {
    objectCreated();
    PostMessageW(gServer.wakeWindow, kWakeUp, 0, 0);
}
void workFinished() { objectDestroyed(); }

bool createWakeWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = wakeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MarletMenuEvents";
    RegisterClassW(&wc);
    gServer.wakeWindow = CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         wc.hInstance, nullptr);
    if (!gServer.wakeWindow) return false;
    menuEvents().setHooks(workArrived, workFinished);
    return true;
}

class ClassFactory : public IClassFactory {
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
    // The factories live as long as the process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return class_->create(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? objectCreated() : objectDestroyed();
        return S_OK;
    }

    const ComClass* class_ = nullptr;
};

// Every class object, held back until all are there; false when COM refuses one.
bool registerClassObjects() {
    static ClassFactory factories[kClassCount];  // as long as the process
    for (size_t i = 0; i < kClassCount; i++) {
        factories[i].class_ = &kClasses[i];
        if (FAILED(CoRegisterClassObject(*kClasses[i].clsid, &factories[i], CLSCTX_LOCAL_SERVER,
                                         REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &gServer.cookies[i])))
            return false;
    }
    return SUCCEEDED(CoResumeClassObjects());
}

void revokeClassObjects() {
    for (DWORD& cookie : gServer.cookies)
        if (cookie) {
            CoRevokeClassObject(cookie);
            cookie = 0;
        }
}

std::wstring guidText(const GUID& g) {
    wchar_t text[40] = {};
    StringFromGUID2(g, text, 40);
    return text;
}

bool setValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

bool registerClasses() {
    std::wstring server = L"\"" + win32::exePath() + L"\"";
    bool ok = true;
    for (const ComClass& c : kClasses) {
        std::wstring clsid = guidText(*c.clsid);
        std::wstring key = L"CLSID\\" + clsid;
        std::wstring progId = widen(c.progId);
        ok &= setValue(HKEY_CLASSES_ROOT, progId, nullptr, c.description);
        ok &= setValue(HKEY_CLASSES_ROOT, progId + L"\\CLSID", nullptr, clsid);
        ok &= setValue(HKEY_CLASSES_ROOT, key, nullptr, c.description);
        ok &= setValue(HKEY_CLASSES_ROOT, key + L"\\ProgID", nullptr, progId);
        ok &= setValue(HKEY_CLASSES_ROOT, key + L"\\LocalServer32", nullptr, server);
    }
    return ok;
}

bool deleteTree(const std::wstring& key) {
    LONG r = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND) {
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        return true;
    }
    return false;
}

bool unregisterClasses() {
    bool ok = true;
    for (const ComClass& c : kClasses) {
        ok &= deleteTree(L"CLSID\\" + guidText(*c.clsid));
        ok &= deleteTree(widen(c.progId));
    }
    return ok;
}

std::wstring lower(std::wstring s) {
    for (wchar_t& ch : s) ch = static_cast<wchar_t>(std::towlower(ch));
    return s;
}

// "/word" or "-word", in any case, standing on its own.
bool hasFlag(const std::wstring& commandLine, const wchar_t* word) {
    std::wstring line = lower(commandLine);
    std::wstring w = word;
    for (size_t at = line.find(w); at != std::wstring::npos; at = line.find(w, at + 1)) {
        if (at == 0 || (line[at - 1] != L'/' && line[at - 1] != L'-')) continue;
        if (at >= 2 && !std::iswspace(line[at - 2]) && line[at - 2] != L'"') continue;
        size_t end = at + w.size();
        if (end == line.size() || std::iswspace(line[end]) || line[end] == L'"') return true;
    }
    return false;
}

BOOL CALLBACK findVisibleWindow(HWND window, LPARAM found) {
    if (IsWindowVisible(window)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

bool windowOpen() {
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), findVisibleWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

void objectCreated() { CoAddRefServerProcess(); }

void objectDestroyed() {
    // At zero COM stops handing out objects of this process; the loop then ends.
    if (CoReleaseServerProcess() == 0) {
        gServer.lastObjectGone = true;
        PostThreadMessageW(gServer.servingThread, WM_NULL, 0, 0);
    }
}

}  // namespace com

bool handleRegistrationSwitches(const std::wstring& commandLine, int& exitCode) {
    if (com::hasFlag(commandLine, L"unregserver")) {
        exitCode = com::unregisterClasses() ? 0 : 1;
        return true;
    }
    if (com::hasFlag(commandLine, L"regserver")) {
        exitCode = com::registerClasses() ? 0 : 1;
        return true;
    }
    return false;
}

bool startedByCom(const std::wstring& commandLine) { return com::hasFlag(commandLine, L"embedding"); }

void serveComIfEmbedded(const std::wstring& commandLine) {
    using namespace com;
    if (!startedByCom(commandLine)) return;
    try {
        win32::ensureCom();
    } catch (const Error&) {
        return;
    }
    gServer.servingThread = GetCurrentThreadId();

    if (!createWakeWindow() || !registerClassObjects()) {
        revokeClassObjects();
        return;
    }
    MSG msg;
    while (!(gServer.lastObjectGone && !windowOpen())) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    revokeClassObjects();
    gFileTools.reset();  // its library goes away with COM
}

}  // namespace marlet

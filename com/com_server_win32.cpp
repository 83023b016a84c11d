// marlet.exe as a COM local server: serving its classes on the one thread when
// COM starts the process (-Embedding). Registration is com_registration_win32.cpp.
#include "com/com_server_win32.h"

#include <windows.h>
#include <oleauto.h>

#include "app/app.h"
#include "app/log.h"
#include "com/com_classes_win32.h"
#include "com/com_object_win32.h"
#include "events/event_queue.h"
#include "events/qb_menu_listener.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_util.h"

namespace marlet {

namespace com {

namespace {

// The server's state while it serves; nothing else keeps any.
struct Server {
    DWORD servingThread = 0;
    bool lastObjectGone = false;        // COM hands out no more objects: the loop ends
    HWND wakeWindow = nullptr;          // the menu events' wake-up (below)
    int objects = 0;                    // objects and server locks alive: some caller holds one
    bool wakeArmed = false;             // work waits for its caller to let go (or the timer)
    DWORD cookies[kClassCount] = {};    // the class objects' registrations
};
Server gServer;

// The menu events' work runs from this message-only window's procedure, in the
// serving thread's loop. A box's or dialog's own loop dispatches the wake-up
// too; the queue then leaves the new work to the run that is under way.
//
// Work left by a call starts once the caller has let go of its objects: a
// caller releases its listener right after inform, and that Release is a call
// too, which would otherwise wait behind the work (Dorvex's start, a box) and
// keep QuickBooks busy. A caller that keeps its objects gets the work after
// kCallerGrace all the same.
constexpr UINT kWakeUp = WM_APP + 1;
constexpr UINT_PTR kWakeTimer = 1;
constexpr UINT kCallerGrace = 50;  // milliseconds

void wakeNow() {
    if (gServer.wakeArmed) KillTimer(gServer.wakeWindow, kWakeTimer);
    gServer.wakeArmed = false;
    PostMessageW(gServer.wakeWindow, kWakeUp, 0, 0);
}

LRESULT CALLBACK wakeProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    bool timer = message == WM_TIMER && wp == kWakeTimer;
    if (message != kWakeUp && !timer) return DefWindowProcW(window, message, wp, lp);
    if (timer) {
        KillTimer(window, kWakeTimer);
        gServer.wakeArmed = false;
    }
    try {
        menuEvents().runWaiting();
    } catch (...) {
        logLine("menu event failed: " + supportErrorText(caughtError()));
    }
    return 0;
}

// One hold on the server less; at none COM stops handing out objects of this
// process, and the loop ends.
void releaseHold() {
    if (CoReleaseServerProcess() == 0) {
        gServer.lastObjectGone = true;
        PostThreadMessageW(gServer.servingThread, WM_NULL, 0, 0);
    }
}

// Work that waits holds the server, as an object does: the process ends, and
// COM stops handing out its objects, only once the last piece is done.
void workArrived() {
    CoAddRefServerProcess();
    if (gServer.objects == 0) {
        wakeNow();
    } else if (!gServer.wakeArmed) {
        gServer.wakeArmed = SetTimer(gServer.wakeWindow, kWakeTimer, kCallerGrace, nullptr) != 0;
        if (!gServer.wakeArmed) wakeNow();
    }
}
void workFinished() { releaseHold(); }

bool createWakeWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = wakeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MarletMenuEvents";
    if (!RegisterClassW(&wc)) {
        logFailedWin32Call("RegisterClassW", static_cast<LONG>(GetLastError()));
        return false;
    }
    gServer.wakeWindow = CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         wc.hInstance, nullptr);
    if (!gServer.wakeWindow) {
        logFailedWin32Call("CreateWindowExW", static_cast<LONG>(GetLastError()));
        return false;
    }
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
        HRESULT hr = CoRegisterClassObject(kClasses[i].clsid, &factories[i], CLSCTX_LOCAL_SERVER,
                                           REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &gServer.cookies[i]);
        if (FAILED(hr)) {
            logFailedCall("CoRegisterClassObject", hr);
            return false;
        }
    }
    HRESULT hr = CoResumeClassObjects();
    if (FAILED(hr)) logFailedCall("CoResumeClassObjects", hr);
    return SUCCEEDED(hr);
}

void revokeClassObjects() {
    for (DWORD& cookie : gServer.cookies)
        if (cookie) {
            CoRevokeClassObject(cookie);
            cookie = 0;
        }
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

void objectCreated() {
    gServer.objects++;
    CoAddRefServerProcess();
}

void objectDestroyed() {
    // The caller has let go of everything: what it left waiting runs now.
    if (--gServer.objects == 0 && gServer.wakeArmed) wakeNow();
    releaseHold();
}

}  // namespace com

int serveCom() {
    using namespace com;
    try {
        win32::ensureCom();
    } catch (const Error& e) {
        logLine("CoInitializeEx failed: " + supportErrorText(e));
        return kExitFailed;
    }
    gServer.servingThread = GetCurrentThreadId();

    if (!createWakeWindow() || !registerClassObjects()) {
        revokeClassObjects();
        return kExitFailed;
    }
    MSG msg;
    while (!(gServer.lastObjectGone && !windowOpen())) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    revokeClassObjects();
    releaseFileTools();  // its library goes away with COM
    return kExitOk;
}

}  // namespace marlet

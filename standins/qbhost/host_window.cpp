// The host stand-in's window, for a person: File menu entries from the stored
// subscriptions, the open customer or transaction picked from a list, and the
// result of the last inform call in a status line.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "host.h"
#include "standins/qbxmlrp2/rp_registry.h"

namespace qbhost {

namespace {

enum : UINT { kExit = 2, kFirstEntry = 1000 };

struct Entry {
    size_t subscription;
    std::string eventTag;
};

struct OpenWindow {
    std::wstring caption;
    std::string picked;  // as the command line names it: "none", "customer:ID", "txn:TYPE:ID"
};

struct State {
    std::wstring progId;
    bool dispatch = false;
    Output* out = nullptr;
    std::vector<qbrp::MenuSubscription> subscriptions;
    std::vector<Entry> entries;
    std::vector<OpenWindow> windows;
    HWND list = nullptr;
    HWND status = nullptr;
};

State gState;

// Whether the window's thread is inside a call to a listener (creation included).
// QuickBooks ignores clicks on its menu until the callback returns.
std::atomic<bool> gCalling{false};

std::string ignoredLine(const std::string& token) {
    return token + "\t-\tignored: a menu pick while a call to the listener is in progress";
}

std::vector<OpenWindow> companyWindows() {
    std::vector<OpenWindow> windows = {{L"(no customer or transaction open)", "none"}};
    std::filesystem::path folder = qbrp::registeredFolder();
    qbrp::Company company = folder.empty() ? qbrp::Company() : qbrp::Company(folder);
    pugi::xml_node data = company.data.child("QBCompany");
    for (pugi::xml_node c : data.children("CustomerRet"))
        windows.push_back({L"Customer:  " + wide(c.child_value("FullName")),
                           std::string("customer:") + c.child_value("ListID")});
    for (pugi::xml_node t : data.children("TransactionRet")) {
        std::string caption = std::string(t.child_value("TxnType")) + " " + t.child_value("RefNumber") + ":  " +
                              t.child("EntityRef").child_value("FullName");
        windows.push_back({wide(caption), std::string("txn:") + t.child_value("TxnType") + ":" +
                                              t.child_value("TxnID")});
    }
    return windows;
}

// The File menu as QuickBooks would show it now: read again at every opening.
void buildFileMenu(HMENU file) {
    while (GetMenuItemCount(file) > 0) DeleteMenu(file, 0, MF_BYPOSITION);
    gState.subscriptions = storedSubscriptions();
    gState.entries.clear();
    for (size_t s = 0; s < gState.subscriptions.size(); s++) {
        const qbrp::MenuSubscription& sub = gState.subscriptions[s];
        if (sub.addToMenu != "File") continue;
        HMENU target = file;
        if (sub.submenu) {
            target = CreatePopupMenu();
            AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(target), wide(sub.appName).c_str());
        }
        for (const qbrp::MenuEntry& e : sub.entries) {
            AppendMenuW(target, MF_STRING, kFirstEntry + gState.entries.size(), wide(e.menuText).c_str());
            gState.entries.push_back({s, e.eventTag});
        }
    }
    if (gState.entries.empty()) AppendMenuW(file, MF_STRING | MF_GRAYED, 0, L"(no subscribed entries)");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, kExit, L"E&xit");
}

void fire(const Entry& entry) {
    if (gCalling) {
        gState.out->line(ignoredLine(entry.eventTag));
        return;
    }
    const qbrp::MenuSubscription& sub = gState.subscriptions[entry.subscription];
    std::wstring progId = !gState.progId.empty() ? gState.progId : wide(sub.progID.empty() ? sub.clsid : sub.progID);
    CLSID clsid;
    HRESULT hr = progId[0] == L'{' ? CLSIDFromString(progId.c_str(), &clsid) : CLSIDFromProgID(progId.c_str(), &clsid);
    if (FAILED(hr)) {
        SetWindowTextW(gState.status, (L"Cannot create " + progId).c_str());
        return;
    }
    LRESULT picked = SendMessageW(gState.list, LB_GETCURSEL, 0, 0);
    size_t index = picked == LB_ERR ? 0 : static_cast<size_t>(picked);
    std::string token = entry.eventTag + "@" + gState.windows[index].picked;
    Delivery delivery{clsid, sub.subscriberID, &sub, gState.dispatch, *gState.out};
    SetWindowTextW(gState.status, (L"Calling " + progId + L"...").c_str());
    gCalling = true;
    delivery.deliver({wide(token)});
    gCalling = false;
    SetWindowTextW(gState.status, wide(gState.out->last).c_str());
}

void layOut(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    MoveWindow(gState.list, 8, 8, r.right - 16, r.bottom - 48, TRUE);
    MoveWindow(gState.status, 8, r.bottom - 32, r.right - 16, 24, TRUE);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
    case WM_CREATE: {
        HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        gState.list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY, 0, 0, 0, 0, window,
                                      nullptr, nullptr, nullptr);
        gState.status = CreateWindowExW(0, L"STATIC", L"Pick the open window, then an entry of the File menu.",
                                        WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 0, 0, 0, 0, window, nullptr,
                                        nullptr, nullptr);
        SendMessageW(gState.list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SendMessageW(gState.status, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        gState.windows = companyWindows();
        for (const OpenWindow& w : gState.windows)
            SendMessageW(gState.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.caption.c_str()));
        SendMessageW(gState.list, LB_SETCURSEL, 0, 0);
        return 0;
    }
    case WM_SIZE:
        layOut(window);
        return 0;
    case WM_INITMENUPOPUP:
        if (reinterpret_cast<HMENU>(wp) == GetSubMenu(GetMenu(window), 0)) buildFileMenu(reinterpret_cast<HMENU>(wp));
        return 0;
    case WM_COMMAND: {
        UINT id = LOWORD(wp);
        if (id == kExit) DestroyWindow(window);
        else if (id >= kFirstEntry && id - kFirstEntry < gState.entries.size()) fire(gState.entries[id - kFirstEntry]);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wp, lp);
}

// --- the scripted person of the command line

enum : UINT { kPick = WM_APP + 1 };

struct Picks {
    Delivery* delivery = nullptr;
    const std::vector<std::wstring>* events = nullptr;
    HWND window = nullptr;
    HANDLE handled = nullptr;  // set when the window's thread has dealt with the last pick posted
};
Picks gPicks;

LRESULT CALLBACK picksProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message != kPick) return DefWindowProcW(window, message, wp, lp);
    const std::wstring& token = (*gPicks.events)[wp];
    if (gCalling) {
        gPicks.delivery->out.line(ignoredLine(utf8(token)));
        gPicks.delivery->exitCode = std::max(gPicks.delivery->exitCode, 1);
    } else {
        gCalling = true;
        gPicks.delivery->deliverOne(token);
        gCalling = false;
    }
    SetEvent(gPicks.handled);
    return 0;
}

// The person: picks at the times the tokens say, then closes the window's loop.
DWORD WINAPI person(void*) {
    const std::vector<std::wstring>& events = *gPicks.events;
    DWORD after = 0, lastPick = GetTickCount();
    bool first = true;
    for (size_t i = 0; i < events.size(); i++) {
        if (events[i].rfind(L"after=", 0) == 0) {
            after = static_cast<DWORD>(_wtoi(events[i].c_str() + 6));
            continue;
        }
        if (first || after == 0) {
            WaitForSingleObject(gPicks.handled, INFINITE);
        } else {
            DWORD waited = GetTickCount() - lastPick;
            if (waited < after) Sleep(after - waited);
        }
        first = false;
        after = 0;
        lastPick = GetTickCount();
        if (gCalling) {
            gPicks.delivery->out.line(ignoredLine(utf8(events[i])));
            gPicks.delivery->exitCode = std::max(gPicks.delivery->exitCode, 1);
            continue;
        }
        ResetEvent(gPicks.handled);
        PostMessageW(gPicks.window, kPick, i, 0);
    }
    WaitForSingleObject(gPicks.handled, INFINITE);
    PostMessageW(gPicks.window, WM_QUIT, 0, 0);
    return 0;
}

}  // namespace

int runPicks(Delivery& delivery, const std::vector<std::wstring>& events) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = picksProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QBHostStandInScript";
    RegisterClassW(&wc);
    gPicks = {&delivery, &events,
              CreateWindowExW(0, wc.lpszClassName, L"QuickBooks (host stand-in)", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                              nullptr, nullptr, wc.hInstance, nullptr),
              CreateEventW(nullptr, TRUE, TRUE, nullptr)};
    if (!gPicks.window || !gPicks.handled) return 2;
    HANDLE thread = CreateThread(nullptr, 0, person, nullptr, 0, nullptr);
    if (!thread) return 2;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(gPicks.handled);
    DestroyWindow(gPicks.window);
    if (delivery.listeners.empty() && delivery.exitCode == 0) delivery.deliverOne(L"use=1");  // no event: create only
    return delivery.finish();
}

int runWindow(const std::wstring& progId, bool dispatch, Output& out) {
    gState.progId = progId;
    gState.dispatch = dispatch;
    gState.out = &out;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"QBHostStandIn";
    RegisterClassW(&wc);
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kExit, L"E&xit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"QuickBooks (host stand-in)", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 560, 380, nullptr, bar, wc.hInstance, nullptr);
    if (!window) return 2;
    ShowWindow(window, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace qbhost

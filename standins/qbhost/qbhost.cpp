// QuickBooks host stand-in: delivers menu events to a subscribed listener the
// way QuickBooks does. It creates the listener out of process, asks it for
// IQBEventCallback and calls inform with a complete UIExtensionEvent.
//
//   qbhost [options] event...
//     event   TAG[@WINDOW]  a menu event whose EventTag is TAG
//             menu:TEXT[@WINDOW]  the stored menu entry TEXT ("Retrieve Documents")
//             xml=FILE      the file's text, sent as it is
//             new           create a further listener (the first, when it
//                           comes first); later events go to it
//             use=N         later events go to listener N (1 is the first)
//             open=PATH     QuickBooks opens another company file: later
//                           events name it, and the request-processor
//                           stand-in's sessions are on it
//             after=MS      the next pick comes MS ms after the one before,
//                           whether its call has returned or not (else it
//                           comes once the call has returned)
//     WINDOW  none | empty | customer:ID | list:TYPE[:ID] | txn:TYPE[:ID]
//             (an empty TYPE leaves the type out; no ":ID" leaves the ID out)
//     --progid=P       the listener's ProgID (else the stored subscription's)
//     --subscriber=G   the subscription to use, and the event's SubscriberID
//                      (else the first stored subscription)
//     --list           print the stored File-menu entries, each with the menu
//                      path QuickBooks shows (File > application name), and end
//     --window         a window with the File menu and a picker of the open
//                      customer or transaction, for a person
//     --dispatch       call inform through IDispatch instead
//     --out=FILE       write the results to FILE as well
//     --repeat=N       deliver the events N times, each to a fresh server
//                      process, and print only the median time of a round
//                      trip (activation, calls, release) and of a whole cycle
//                      (until the server process has ended), in microseconds
//     --prestart       with --repeat: start the server itself and wait until
//                      it serves, so that COM's own start-up wait is left out;
//                      each round then also waits for the programs the server
//                      before it started (Dorvex) to end
//     --install / --uninstall   register / unregister the event type library
//
// The events are picks in the File menu of a hidden window, delivered from its
// thread; a pick made while a call is in progress is ignored, as QuickBooks
// ignores clicks on its menu until the callback returns, and its line says so.
// One line per event on stdout: the event, the HRESULT of inform, the error's
// description and the call's duration in milliseconds, separated by TABs. The subscriptions are those that the
// request-processor stand-in registered on this machine stores. Exit code 0 when every call
// succeeded, 1 when one failed, 2 when the listener could not be reached.
#include <windows.h>
#include <oleauto.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host.h"
#include "qb_event_callback.h"
#include "standins/qbxmlrp2/rp_core.h"
#include "standins/qbxmlrp2/rp_registry.h"

namespace qbhost {

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring wide(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string escapeXml(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string element(const char* name, const std::string& value) {
    return std::string("<") + name + ">" + escapeXml(value) + "</" + name + ">";
}

// "list:Customer:8000-1" -> <CurrentWindow><ListType>Customer</ListType><ListID>8000-1</ListID></CurrentWindow>
bool currentWindow(const std::string& window, std::string& xml) {
    xml.clear();
    if (window.empty() || window == "none") return true;
    if (window == "empty") {
        xml = "<CurrentWindow></CurrentWindow>";
        return true;
    }
    std::string kind = window.substr(0, window.find(':'));
    if (window.find(':') == std::string::npos) return false;
    std::string rest = window.substr(kind.size() + 1);
    if (kind == "customer") {
        xml = "<CurrentWindow>" + element("ListType", "Customer") + element("ListID", rest) + "</CurrentWindow>";
        return true;
    }
    if (kind != "list" && kind != "txn") return false;
    size_t colon = rest.find(':');
    std::string type = rest.substr(0, colon);
    const char* typeName = kind == "list" ? "ListType" : "TxnType";
    const char* idName = kind == "list" ? "ListID" : "TxnID";
    xml = "<CurrentWindow>";
    if (!type.empty()) xml += element(typeName, type);
    if (colon != std::string::npos) xml += element(idName, rest.substr(colon + 1));
    xml += "</CurrentWindow>";
    return true;
}

std::string eventTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond);
    return text;
}

// The company file open in QuickBooks: the one the registered request-processor
// stand-in serves its sessions on.
std::string openFile() {
    std::filesystem::path folder = qbrp::registeredFolder();
    return folder.empty() ? std::string(qbrp::kSampleCompanyFile) : qbrp::openCompanyFile(folder);
}

std::string menuEvent(const std::string& subscriberID, const std::string& tag, const std::string& window) {
    return "<?xml version=\"1.0\" ?>\r\n<?qbxml version=\"4.0\"?>\r\n<QBXML>\r\n<QBXMLEvents>\r\n"
           "<UIExtensionEvent>\r\n" +
           element("SubscriberID", subscriberID) + "\r\n" +
           element("CompanyFilePath", openFile()) +
           "\r\n<HostInfo>" + element("ProductName", "QuickBooks Pro 2004 (host stand-in)") +
           element("MajorVersion", "14") + element("MinorVersion", "0") + element("Country", "US") +
           "</HostInfo>\r\n" + element("EventTime", eventTime()) + "\r\n" + element("EventTag", tag) + "\r\n" +
           (window.empty() ? "" : window + "\r\n") + "</UIExtensionEvent>\r\n</QBXMLEvents>\r\n</QBXML>\r\n";
}

bool readWholeFile(const std::wstring& path, std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    GetFileSizeEx(f, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    BOOL ok = ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(f);
    bytes.resize(read);
    return ok;
}

std::string describe(HRESULT hr) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return utf8(text);
}

// The description the callee left in the thread's error object, if any.
std::string errorObjectText() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return {};
    BSTR description = nullptr;
    std::string text;
    if (SUCCEEDED(info->GetDescription(&description)) && description)
        text = utf8(std::wstring(description, SysStringLen(description)));
    SysFreeString(description);
    info->Release();
    return text;
}

HRESULT informByVtable(IUnknown* listener, const std::string& xml, std::string& description) {
    IQBEventCallback* callback = nullptr;
    HRESULT hr = listener->QueryInterface(IID_IQBEventCallback, reinterpret_cast<void**>(&callback));
    if (FAILED(hr)) {
        description = "no IQBEventCallback: " + describe(hr);
        return hr;
    }
    std::wstring w = wide(xml);
    BSTR text = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    SetErrorInfo(0, nullptr);
    hr = callback->inform(text);
    if (FAILED(hr)) description = errorObjectText();
    SysFreeString(text);
    callback->Release();
    return hr;
}

HRESULT informByDispatch(IUnknown* listener, const std::string& xml, std::string& description) {
    IDispatch* d = nullptr;
    HRESULT hr = listener->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    if (FAILED(hr)) return hr;
    LPOLESTR name = const_cast<LPOLESTR>(L"inform");
    DISPID id;
    hr = d->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr)) {
        std::wstring w = wide(xml);
        VARIANT arg;
        arg.vt = VT_BSTR;
        arg.bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
        DISPPARAMS params = {&arg, nullptr, 1, 0};
        EXCEPINFO info = {};
        hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &info, nullptr);
        VariantClear(&arg);
        if (hr == DISP_E_EXCEPTION) {
            if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
            if (info.scode) hr = info.scode;
            if (info.bstrDescription)
                description = utf8(std::wstring(info.bstrDescription, SysStringLen(info.bstrDescription)));
        }
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
    }
    d->Release();
    return hr;
}

std::wstring exeFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::vector<qbrp::MenuSubscription> storedSubscriptions() {
    std::filesystem::path folder = qbrp::registeredFolder();
    if (folder.empty()) return {};
    return qbrp::loadMenuSubscriptions(folder);
}

// The event tag of a stored menu entry, found by its text.
bool menuTag(const qbrp::MenuSubscription* subscription, const std::string& text, std::string& tag) {
    if (!subscription) return false;
    for (const qbrp::MenuEntry& entry : subscription->entries)
        if (entry.menuText == text) {
            tag = entry.eventTag;
            return true;
        }
    return false;
}

bool startsWith(const std::wstring& s, const wchar_t* prefix) { return s.rfind(prefix, 0) == 0; }

void Output::line(const std::string& text) {
    std::lock_guard<std::mutex> hold(lock);
    last = text;
    std::string l = text + "\n";
    fwrite(l.data(), 1, l.size(), stdout);
    fflush(stdout);
    if (file) {
        fwrite(l.data(), 1, l.size(), file);
        fflush(file);
    }
}

std::string hresultText(HRESULT hr) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

void Delivery::report(const std::string& line) {
    if (!quiet) out.line(line);
}

double seconds();

void Delivery::deliverOne(const std::wstring& e) {
    auto create = [&]() -> bool {
        IUnknown* listener = nullptr;
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(&listener));
        if (FAILED(hr)) {
            out.line("create\t" + hresultText(hr) + "\t" + describe(hr));
            exitCode = 2;
            return false;
        }
        listeners.push_back(listener);
        return true;
    };
    if (exitCode == 2) return;
    if (e == L"new") {
        if (create()) current = listeners.size() - 1;
        return;
    }
    if (listeners.empty() && !create()) return;
    std::string token = utf8(e);
    if (startsWith(e, L"open=")) {
        std::filesystem::path folder = qbrp::registeredFolder();
        bool opened = !folder.empty() && qbrp::openAnotherCompanyFile(folder, token.substr(5));
        report(token + "\t-\t" + (opened ? "opened" : "cannot open: no request-processor stand-in registered"));
        if (!opened) exitCode = 2;
        return;
    }
    if (startsWith(e, L"use=")) {
        size_t n = static_cast<size_t>(_wtoi(e.c_str() + 4));
        if (n >= 1 && n <= listeners.size()) current = n - 1;
        return;
    }
    std::string xml;
    if (!eventText(e, xml)) {
        exitCode = 2;
        return;
    }
    std::string description;
    double start = seconds();
    HRESULT r = dispatch ? informByDispatch(listeners[current], xml, description)
                         : informByVtable(listeners[current], xml, description);
    long ms = static_cast<long>((seconds() - start) * 1000);
    if (FAILED(r) && description.empty()) description = describe(r);
    report(token + "\t" + hresultText(r) + "\t" + description + "\t" + std::to_string(ms));
    if (FAILED(r) && exitCode == 0) exitCode = 1;
}

int Delivery::finish() {
    for (IUnknown* l : listeners) l->Release();
    listeners.clear();
    current = 0;
    int code = exitCode;
    exitCode = 0;
    return code;
}

int Delivery::deliver(const std::vector<std::wstring>& events) {
    deliverOne(L"use=1");  // creates the listener
    for (const std::wstring& e : events) deliverOne(e);
    return finish();
}

bool Delivery::eventText(const std::wstring& e, std::string& xml) {
    std::string token = utf8(e);
    if (startsWith(e, L"xml=")) {
        if (readWholeFile(e.substr(4), xml)) return true;
        out.line(token + "\t-\tcannot read the file");
        return false;
    }
    size_t at = token.find('@');
    std::string window, tag = token.substr(0, at);
    if (!currentWindow(at == std::string::npos ? "" : token.substr(at + 1), window)) {
        out.line(token + "\t-\tunknown window");
        return false;
    }
    if (tag.rfind("menu:", 0) == 0 && !menuTag(subscription, tag.substr(5), tag)) {
        out.line(token + "\t-\tnot in the File menu");
        return false;
    }
    xml = menuEvent(subscriber, tag, window);
    return true;
}

double seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The class's LocalServer32 command line, and the file name of its program.
std::wstring serverCommand(const CLSID& clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    std::wstring key = std::wstring(L"CLSID\\") + text + L"\\LocalServer32";
    wchar_t value[MAX_PATH * 2] = {};
    LONG size = sizeof value;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return {};
    return value;
}

std::wstring serverImageName(const CLSID& clsid) {
    std::wstring path = serverCommand(clsid);
    if (!path.empty() && path[0] == L'"') path = path.substr(1, path.find(L'"', 1) - 1);
    return path.substr(path.find_last_of(L'\\') + 1);
}

// Starts the server as COM would and waits until it is serving: its thread
// waits for messages once its class objects are registered. Wine's COM waits a
// whole second before it looks again for a server it has just started itself,
// which would hide the server's own start-up in a measurement.
// Returns the server's process ID (0 when it could not be started).
DWORD prestart(const CLSID& clsid) {
    std::wstring line = serverCommand(clsid) + L" -Embedding";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0;
    CloseHandle(pi.hThread);
    WaitForInputIdle(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    return pi.dwProcessId;
}

// Whether a running process matches.
template <class Match>
bool anyProcess(Match match) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    bool found = false;
    for (BOOL ok = Process32FirstW(snap, &pe); ok && !found; ok = Process32NextW(snap, &pe)) found = match(pe);
    CloseHandle(snap);
    return found;
}

void waitUntilGone(const std::wstring& image) {
    auto named = [&](const PROCESSENTRY32W& pe) { return _wcsicmp(pe.szExeFile, image.c_str()) == 0; };
    for (int i = 0; i < 10000 && !image.empty() && anyProcess(named); i++) Sleep(1);
}

// A round is over once the programs its server started have ended too: a
// Dorvex still starting would take the next round's processor time.
void waitUntilChildrenGone(DWORD parent) {
    auto child = [&](const PROCESSENTRY32W& pe) { return pe.th32ParentProcessID == parent; };
    for (int i = 0; i < 10000 && parent && anyProcess(child); i++) Sleep(1);
}

int run(const std::vector<std::wstring>& args) {
    std::wstring progId, subscriber, outPath;
    bool dispatch = false, listOnly = false;
    int repeat = 0;
    bool started = false, window = false;
    std::vector<std::wstring> events;
    for (const std::wstring& a : args) {
        if (startsWith(a, L"--progid=")) progId = a.substr(9);
        else if (startsWith(a, L"--subscriber=")) subscriber = a.substr(13);
        else if (startsWith(a, L"--out=")) outPath = a.substr(6);
        else if (a == L"--dispatch") dispatch = true;
        else if (a == L"--list") listOnly = true;
        else if (startsWith(a, L"--repeat=")) repeat = _wtoi(a.c_str() + 9);
        else if (a == L"--prestart") started = true;
        else if (a == L"--window") window = true;
        else if (a == L"--install") {
            HRESULT hr = installEventTypeLib(exeFolder());
            printf("install\t%s\n", hresultText(hr).c_str());
            return SUCCEEDED(hr) ? 0 : 2;
        } else if (a == L"--uninstall") {
            HRESULT hr = uninstallEventTypeLib();
            printf("uninstall\t%s\n", hresultText(hr).c_str());
            return SUCCEEDED(hr) ? 0 : 2;
        } else if (startsWith(a, L"--")) {
            fprintf(stderr, "qbhost: unknown option %s\n", utf8(a).c_str());
            return 2;
        } else
            events.push_back(a);
    }

    Output out;
    if (!outPath.empty()) out.file = _wfopen(outPath.c_str(), L"wb");
    std::vector<qbrp::MenuSubscription> subscriptions = storedSubscriptions();
    if (listOnly) {
        for (const qbrp::MenuSubscription& stored : subscriptions)
            for (const qbrp::MenuEntry& entry : stored.entries)
                out.line(stored.subscriberID + "\t" + (stored.progID.empty() ? stored.clsid : stored.progID) +
                         "\t" + stored.addToMenu + (stored.submenu ? " > " + stored.appName : "") + "\t" +
                         entry.menuText + "\t" + entry.eventTag);
        if (out.file) fclose(out.file);
        return 0;
    }

    if (window) {
        if (!eventTypeLibInstalled()) installEventTypeLib(exeFolder());
        int code = runWindow(progId, dispatch, out);
        if (out.file) fclose(out.file);
        return code;
    }

    const qbrp::MenuSubscription* subscription = nullptr;
    for (const qbrp::MenuSubscription& stored : subscriptions)
        if (!subscription && (subscriber.empty() || wide(stored.subscriberID) == subscriber))
            subscription = &stored;
    if (subscription) {
        if (subscriber.empty()) subscriber = wide(subscription->subscriberID);
        if (progId.empty()) progId = wide(subscription->progID.empty() ? subscription->clsid : subscription->progID);
    }
    if (progId.empty()) {
        out.line("create\t-\tno subscription stored and no --progid given");
        return 2;
    }

    if (!eventTypeLibInstalled()) {
        HRESULT hr = installEventTypeLib(exeFolder());
        if (FAILED(hr)) {
            out.line("install\t" + hresultText(hr) + "\t" + describe(hr));
            return 2;
        }
    }

    CLSID clsid;
    HRESULT hr = progId[0] == L'{' ? CLSIDFromString(progId.c_str(), &clsid) : CLSIDFromProgID(progId.c_str(), &clsid);
    if (FAILED(hr)) {
        out.line("create\t" + hresultText(hr) + "\t" + describe(hr));
        return 2;
    }
    Delivery delivery{clsid, utf8(subscriber), subscription, dispatch, out};
    int exitCode = 0;
    if (repeat == 0) {
        exitCode = runPicks(delivery, events);
    } else {
        // Each round starts a fresh server: wait for the one before to be gone.
        std::wstring server = serverImageName(clsid);
        std::vector<double> calls, cycles;
        delivery.quiet = true;
        for (int i = 0; i < repeat && exitCode != 2; i++) {
            waitUntilGone(server);
            double t0 = seconds();
            DWORD pid = started ? prestart(clsid) : 0;
            int code = delivery.deliver(events);
            double t1 = seconds();
            waitUntilGone(server);
            double t2 = seconds();
            waitUntilChildrenGone(pid);
            if (code > exitCode) exitCode = code;
            calls.push_back((t1 - t0) * 1e6);
            cycles.push_back((t2 - t0) * 1e6);
        }
        char line[160];
        snprintf(line, sizeof line, "timing\t%d\tcall-median-us\t%.0f\tcycle-median-us\t%.0f", repeat,
                 median(calls), median(cycles));
        out.line(line);
    }
    if (out.file) fclose(out.file);
    return exitCode;
}

}  // namespace qbhost

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    // Started without arguments (from a shortcut, by a person): the window.
    if (args.empty()) args.push_back(L"--window");
    if (args.size() == 1 && (args[0] == L"/?" || args[0] == L"--help")) {
        fprintf(stderr, "usage: qbhost [--progid=P] [--subscriber=G] [--dispatch] [--out=FILE] event...\n"
                        "       event: TAG[@none|empty|customer:ID|list:TYPE[:ID]|txn:TYPE[:ID]] | "
                        "menu:TEXT[@...] | xml=FILE | new | use=N\n"
                        "       qbhost --window | --list | --install | --uninstall\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = qbhost::run(args);
    CoUninitialize();
    return code;
}

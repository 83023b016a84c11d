// Memory of a COM local server while it serves menu events: creates one
// listener of the given class (out of process, as QuickBooks does), delivers
// the same few events N times, and prints the server process's peak working
// set and its peak of private (committed) bytes, in KB.
//   serve_memory PROGID N
// The events cost nothing outside the server: "manual" without a manual beside
// it, a retrieval with no Dorvex to start, and a tag that is not ours.
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "standins/qbhost/qb_event_callback.h"

namespace {

std::wstring menuEvent(const wchar_t* tag) {
    return std::wstring(
               L"<?xml version=\"1.0\" ?>\r\n<?qbxml version=\"4.0\"?>\r\n<QBXML>\r\n<QBXMLEvents>\r\n"
               L"<UIExtensionEvent>\r\n<SubscriberID>{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}</SubscriberID>\r\n"
               L"<CompanyFilePath>C:\\Company Files\\sample.qbw</CompanyFilePath>\r\n"
               L"<HostInfo><ProductName>QuickBooks Pro 2004</ProductName><MajorVersion>14</MajorVersion>"
               L"<MinorVersion>0</MinorVersion><Country>US</Country></HostInfo>\r\n"
               L"<EventTime>2007-03-09T14:05:07</EventTime>\r\n<EventTag>") +
           tag + L"</EventTag>\r\n</UIExtensionEvent>\r\n</QBXMLEvents>\r\n</QBXML>\r\n";
}

// The process whose program is the class's LocalServer32.
DWORD serverProcess(const CLSID& clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    wchar_t value[MAX_PATH * 2] = {};
    LONG size = sizeof value;
    std::wstring key = std::wstring(L"CLSID\\") + text + L"\\LocalServer32";
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return 0;
    std::wstring path = value;
    if (!path.empty() && path[0] == L'"') path = path.substr(1, path.find(L'"', 1) - 1);
    DWORD pid = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(snap, &pe); ok && !pid; ok = Process32NextW(snap, &pe)) {
        HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pe.th32ProcessID);
        wchar_t image[MAX_PATH];
        DWORD n = MAX_PATH;
        if (p && QueryFullProcessImageNameW(p, 0, image, &n) && _wcsicmp(image, path.c_str()) == 0)
            pid = pe.th32ProcessID;
        if (p) CloseHandle(p);
    }
    CloseHandle(snap);
    return pid;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: serve_memory PROGID N\n");
        return 2;
    }
    int rounds = _wtoi(argv[2]);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CLSID clsid;
    IQBEventCallback* listener = nullptr;
    HRESULT hr = CLSIDFromProgID(argv[1], &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IQBEventCallback,
                              reinterpret_cast<void**>(&listener));
    if (FAILED(hr)) {
        fprintf(stderr, "serve_memory: cannot create %ls: 0x%08lx\n", argv[1], static_cast<unsigned long>(hr));
        return 2;
    }
    HANDLE server = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, serverProcess(clsid));
    const wchar_t* tags[] = {L"manual", L"retrieve", L"not-ours"};
    BSTR events[3];
    for (int i = 0; i < 3; i++) events[i] = SysAllocString(menuEvent(tags[i]).c_str());
    for (int r = 0; r < rounds; r++)
        for (BSTR e : events) listener->inform(e);
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof c;
    bool read = server && GetProcessMemoryInfo(server, &c, sizeof c);
    for (BSTR e : events) SysFreeString(e);
    listener->Release();
    if (server) CloseHandle(server);
    CoUninitialize();
    if (!read) {
        fprintf(stderr, "serve_memory: the server's memory cannot be read\n");
        return 2;
    }
    printf("memory\t%d\tpeak-working-set-kb\t%zu\tpeak-private-kb\t%zu\n", rounds * 3, static_cast<size_t>(c.PeakWorkingSetSize / 1024),
           static_cast<size_t>(c.PeakPagefileUsage / 1024));
    return 0;
}

#include "qbhost_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace bench {

// Registration is these tests' set-up, not what they test (listener_test and
// installer_test do): one failed attempt is reported and tried again, so a
// hiccup of the machine does not fail a test about something else.
void registerMarlet(const Sandbox& box) {
    std::string why;
    for (int attempt = 0; attempt < 2; attempt++) {
        RunResult r = box.runMarlet(L"/regserver");
        if (r.exitCode == 0 && r.dialogs.empty()) {
            if (!why.empty()) std::fprintf(stderr, "note: marlet.exe /regserver failed once:%s\n", why.c_str());
            return;
        }
        why += " exit code " + std::to_string(r.exitCode) + (r.timedOut ? " (timed out)" : "");
        for (const Dialog& d : r.dialogs) why += " [" + d.title + ": " + d.text + "]";
    }
    ADD_FAILURE() << "marlet.exe /regserver failed:" << why;
}

void unregisterMarlet(const Sandbox& box) { box.runMarlet(L"/unregserver"); }

static bool callExport(const std::wstring& dll, const char* name) {
    HMODULE m = LoadLibraryW(dll.c_str());
    if (!m) return false;
    auto fn = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    HRESULT hr = fn ? fn() : E_FAIL;
    FreeLibrary(m);
    return SUCCEEDED(hr);
}

void installFileTools(const Sandbox& box) {
    box.copyProgram(L"filetools.dll", L"filetools.dll");
    if (!callExport(box.path(L"filetools.dll"), "DllRegisterServer")) ADD_FAILURE() << "filetools.dll";
}

void uninstallFileTools(const Sandbox& box) { callExport(box.path(L"filetools.dll"), "DllUnregisterServer"); }

std::vector<std::string> fileToolsLog(const Sandbox& box) {
    std::vector<std::string> lines;
    if (!box.exists(L"filetools.log")) return lines;
    std::string text = box.readFile(L"filetools.log");
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

void installRequestProcessor(const Sandbox& box) {
    box.copyProgram(L"qbxmlrp2.dll", L"qbxmlrp2.dll");
    if (!callExport(box.path(L"qbxmlrp2.dll"), "DllRegisterServer")) ADD_FAILURE() << "qbxmlrp2.dll";
}

static std::vector<HostCall> parseResults(const std::string& text) {
    std::vector<HostCall> calls;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
        if (t1 == std::string::npos || t2 == std::string::npos) continue;
        HostCall c;
        c.event = line.substr(0, t1);
        std::string hr = line.substr(t1 + 1, t2 - t1 - 1);
        c.hr = hr.rfind("0x", 0) == 0 ? static_cast<HRESULT>(std::stoul(hr, nullptr, 16)) : E_FAIL;
        c.description = line.substr(t2 + 1);
        calls.push_back(c);
    }
    return calls;
}

int marletProcesses(const Sandbox& box) {
    const std::wstring wanted = box.path(L"marlet.exe");
    int count = 0;
    forEachProcess([&](HANDLE, const std::wstring& image) { count += _wcsicmp(image.c_str(), wanted.c_str()) == 0; });
    return count;
}

bool waitForMarletExit(const Sandbox& box, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        if (marletProcesses(box) == 0) return true;
        Sleep(50);
    }
    return false;
}

HostRun runHost(const Sandbox& box, const std::wstring& arguments, const DialogHandler& onDialog, int timeoutMs) {
    HostRun result;
    std::wstring out = box.path(L"qbhost-out.txt");
    DeleteFileW(out.c_str());
    std::wstring line = L"\"" + binFolder() + L"\\qbhost.exe\" \"--out=" + out + L"\" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        box.dir().c_str(), &si, &pi)) {
        result.exitCode = static_cast<DWORD>(-1);
        return result;
    }
    CloseHandle(pi.hThread);
    std::set<HWND> answered;
    auto answerDialogs = [&] {
        for (HWND w : findDialogs(0)) {
            if (answered.count(w)) continue;
            Sleep(50);  // let it finish drawing
            Dialog d = readDialog(w);
            result.dialogs.push_back(d);
            answered.insert(w);
            onDialog(d);
        }
    };
    int waited = 0;
    while (WaitForSingleObject(pi.hProcess, 25) == WAIT_TIMEOUT) {
        answerDialogs();
        waited += 25;
        if (waited > timeoutMs) {
            result.timedOut = true;
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
    }
    GetExitCodeProcess(pi.hProcess, &result.exitCode);
    CloseHandle(pi.hProcess);
    // The server may still be ending, or showing a last box.
    for (int w = 0; w < 10000 && marletProcesses(box) > 0; w += 50) {
        answerDialogs();
        Sleep(50);
    }
    result.calls = parseResults(box.readFile(L"qbhost-out.txt"));
    return result;
}

}  // namespace bench

#include "qbhost_driver.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace harness {

// Registration is these tests' set-up, not what they test: one failed attempt
// is reported and tried again, so a hiccup of the machine does not fail a test
// about something else.
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

void installFileTools(const Sandbox& box) {
    box.copyProgram(L"filetools.dll", L"filetools.dll");
    if (!callDllExport(box.path(L"filetools.dll"), "DllRegisterServer")) ADD_FAILURE() << "filetools.dll";
}

void uninstallFileTools(const Sandbox& box) { callDllExport(box.path(L"filetools.dll"), "DllUnregisterServer"); }

std::vector<std::string> fileToolsLog(const Sandbox& box) { return splitLines(readWholeFile(box.path(L"filetools.log"), "")); }

int marletProcesses(const Sandbox& box) {
    const std::wstring wanted = box.path(L"marlet.exe");
    int count = 0;
    forEachProcess([&](HANDLE, const std::wstring& image) { count += _wcsicmp(image.c_str(), wanted.c_str()) == 0; });
    return count;
}

bool waitForMarletExit(const Sandbox& box, int timeoutMs) {
    return waitFor([&] { return marletProcesses(box) == 0; }, timeoutMs);
}

HostRun runHost(const Sandbox& box, const std::wstring& arguments, const DialogHandler& onDialog, int timeoutMs) {
    std::wstring out = box.path(L"qbhost-out.txt");
    DeleteFileW(out.c_str());
    // The server may still be ending, or showing a last box, when the host has ended.
    RunResult r = runProgram(L"\"" + binFolder() + L"\\qbhost.exe\" \"--out=" + out + L"\" " + arguments, box.dir(),
                             onDialog, timeoutMs, true, [&] { return marletProcesses(box) > 0; });
    HostRun result{r.exitCode, r.timedOut, {}, r.dialogs};
    for (const std::string& line : splitLines(readWholeFile(out, ""))) {
        size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
        if (t1 == std::string::npos || t2 == std::string::npos) continue;
        size_t t3 = line.find('\t', t2 + 1);
        std::string hr = line.substr(t1 + 1, t2 - t1 - 1);
        result.calls.push_back({line.substr(0, t1),
                                hr.rfind("0x", 0) == 0 ? static_cast<HRESULT>(std::stoul(hr, nullptr, 16)) : E_FAIL,
                                line.substr(t2 + 1, t3 == std::string::npos ? std::string::npos : t3 - t2 - 1),
                                t3 == std::string::npos ? -1L : std::stol(line.substr(t3 + 1))});
    }
    return result;
}

}  // namespace harness

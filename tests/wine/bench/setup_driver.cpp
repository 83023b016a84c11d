#include "setup_driver.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <set>

namespace bench {

std::wstring installFolder(int bits) {
    wchar_t programs[MAX_PATH];
    SHGetFolderPathW(nullptr, bits == 64 ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86, nullptr, 0, programs);
    return std::wstring(programs) + L"\\Marlet";
}

int processesNamed(const std::wstring& name) {
    bool prefix = !name.empty() && name.back() == L'*';
    size_t length = prefix ? name.size() - 1 : name.size() + 1;
    int count = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
        if (_wcsnicmp(pe.szExeFile, name.c_str(), length) == 0) count++;
    CloseHandle(snap);
    return count;
}

RunResult runAnswering(const std::wstring& commandLine, const DialogHandler& onDialog, int timeoutMs) {
    RunResult result;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi)) {
        result.exitCode = static_cast<DWORD>(-1);
        return result;
    }
    CloseHandle(pi.hThread);
    std::set<HWND> answered;
    auto busy = [&] {
        return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT || processesNamed(L"Un*") > 0 ||
               processesNamed(L"Au_.exe") > 0 || processesNamed(L"marlet.exe") > 0;
    };
    for (int waited = 0; busy(); waited += 25) {
        for (HWND w : findDialogs(0)) {
            if (answered.count(w)) continue;
            Sleep(50);  // let it finish drawing
            Dialog d = readDialog(w);
            result.dialogs.push_back(d);
            answered.insert(w);
            onDialog(d);
        }
        if (waited > timeoutMs) {
            result.timedOut = true;
            TerminateProcess(pi.hProcess, 99);
            break;
        }
        Sleep(25);
    }
    GetExitCodeProcess(pi.hProcess, &result.exitCode);
    CloseHandle(pi.hProcess);
    return result;
}

std::wstring setupProgram() { return binFolder() + L"\\MarletSetup.exe"; }

RunResult runSetup(const std::wstring& switches, const DialogHandler& onDialog) {
    return runAnswering(L"\"" + setupProgram() + L"\" /S " + switches, onDialog);
}

RunResult runUninstaller(const std::wstring& switches, const DialogHandler& onDialog, int bits) {
    return runAnswering(L"\"" + installFolder(bits) + L"\\uninstall.exe\" /S " + switches, onDialog);
}

}  // namespace bench

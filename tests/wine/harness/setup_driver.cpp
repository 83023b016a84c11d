#include "setup_driver.h"

#include <shlobj.h>

namespace harness {

std::wstring installFolder(int bits) {
    wchar_t programs[MAX_PATH];
    SHGetFolderPathW(nullptr, bits == 64 ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86, nullptr, 0, programs);
    return std::wstring(programs) + L"\\Marlet";
}

int processesNamed(const std::wstring& name) {
    const bool prefix = !name.empty() && name.back() == L'*';
    int count = 0;
    forEachProcess([&](HANDLE, const std::wstring& image) {
        const wchar_t* file = image.c_str() + image.find_last_of(L'\\') + 1;
        count += (prefix ? _wcsnicmp(file, name.c_str(), name.size() - 1) : _wcsicmp(file, name.c_str())) == 0;
    });
    return count;
}

std::wstring setupProgram() { return binFolder() + L"\\MarletSetup.exe"; }

RunResult runAnswering(const std::wstring& commandLine, const DialogHandler& onDialog, int timeoutMs) {
    return runProgram(commandLine, binFolder(), onDialog, timeoutMs, true, [] {
        return processesNamed(L"Un*") + processesNamed(L"Au_.exe") + processesNamed(L"marlet.exe") > 0;
    }, timeoutMs);
}

RunResult runSetup(const std::wstring& switches, const DialogHandler& onDialog) {
    return runAnswering(L"\"" + setupProgram() + L"\" /S " + switches, onDialog);
}

RunResult runUninstaller(const std::wstring& switches, const DialogHandler& onDialog, int bits) {
    return runAnswering(L"\"" + installFolder(bits) + L"\\uninstall.exe\" /S " + switches, onDialog);
}

}  // namespace harness

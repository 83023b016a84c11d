#include "sandbox.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace harness {

bool runs32BitPrograms() {
    const wchar_t* value = _wgetenv(L"MARLET_RUNS_32BIT");
    return !value || std::wstring(value) != L"no";
}

std::wstring binFolder() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string readWholeFile(const std::wstring& path, const std::string& ifMissing) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return ifMissing;
    std::string bytes;
    char buffer[4096];
    DWORD got;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(f);
    return bytes;
}

void writeWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
        at = end + 1;
    }
    return lines;
}

bool callDllExport(const std::wstring& path, const char* name) {
    HMODULE dll = LoadLibraryW(path.c_str());
    if (!dll) return false;
    auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    bool ok = entry && SUCCEEDED(entry());
    FreeLibrary(dll);
    return ok;
}

std::string Ini::text() const {
    auto b = [](bool v) { return std::string(v ? "True\r\n" : "False\r\n"); };
    return b(twain) + dx + "\r\n" + config + "\r\n" + b(dorvex) + b(memo) + b(debug);
}

void pressFirstButton(const Dialog& d) {
    if (!d.buttons.empty()) pressButton(d.hwnd, d.buttons.front());
}

static void removeTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd)) {
        std::wstring name = fd.cFileName, full = dir + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            removeTree(full);
        } else {
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(full.c_str());
        }
    }
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    RemoveDirectoryW(dir.c_str());
}

Sandbox::Sandbox() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    std::wstring root = std::wstring(temp) + L"marlet-tests";
    CreateDirectoryW(root.c_str(), nullptr);
    dir_ = root + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    removeTree(dir_);
    CreateDirectoryW(dir_.c_str(), nullptr);
    copyProgram(L"marlet.exe", L"marlet.exe");
    // A person's own settings, left by an earlier test, would be read instead of the sandbox's file.
    wchar_t own[MAX_PATH];
    if (GetEnvironmentVariableW(L"LOCALAPPDATA", own, MAX_PATH)) removeTree(std::wstring(own) + L"\\Marlet");
}

void forEachProcess(const std::function<void(HANDLE process, const std::wstring& image)>& visit) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
        HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                               pe.th32ProcessID);
        if (!p) continue;
        wchar_t image[MAX_PATH];
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(p, 0, image, &size)) visit(p, std::wstring(image, size));
        CloseHandle(p);
    }
    CloseHandle(snap);
}

// A program of the sandbox that outlived its test (a server whose client was
// killed keeps running under Wine) would serve the next test's requests.
Sandbox::~Sandbox() {
    const std::wstring prefix = dir_ + L"\\";
    forEachProcess([&](HANDLE p, const std::wstring& image) {
        if (_wcsnicmp(image.c_str(), prefix.c_str(), prefix.size()) != 0) return;
        TerminateProcess(p, 99);
        WaitForSingleObject(p, 5000);
    });
    removeTree(dir_);
}

void Sandbox::writeFile(const std::wstring& relative, const std::string& bytes) const {
    std::wstring full = path(relative);
    for (size_t i = dir_.size() + 1; (i = full.find(L'\\', i)) != std::wstring::npos; i++)
        CreateDirectoryW(full.substr(0, i).c_str(), nullptr);
    writeWholeFile(full, bytes);
}

std::string Sandbox::readFile(const std::wstring& relative) const { return readWholeFile(path(relative)); }

bool Sandbox::exists(const std::wstring& relative) const { return fileExists(path(relative)); }

void Sandbox::copyProgram(const std::wstring& name, const std::wstring& toRelative) const {
    writeFile(toRelative, "");  // makes the folders
    // A copy that failed would leave that empty file, which Wine "starts" and
    // which shows nothing: a failure somewhere else, far from its cause. Try
    // again a moment later (a file another process holds), then say so here.
    const std::wstring from = binFolder() + L"\\" + name;
    DWORD error = 0;
    for (int attempt = 0; attempt < 5; attempt++, Sleep(100)) {
        if (CopyFileW(from.c_str(), path(toRelative).c_str(), FALSE)) return;
        error = GetLastError();
    }
    ADD_FAILURE() << "cannot copy " << utf8(from) << " into the sandbox: error " << error;
}

Ini Sandbox::ini(const std::wstring& dxFolder) const {
    Ini i;
    i.dx = pathUtf8(dxFolder) + "\\";
    i.config = pathUtf8(L"Cfg") + "\\";
    return i;
}

std::string Sandbox::dorvexLine(const std::string& job, const std::string& values, const std::wstring& dx,
                                const std::wstring& config) const {
    auto folder = [&](const std::wstring& f) { return f.empty() ? std::string() : pathUtf8(f) + "\\"; };
    return folder(dx) + "Dorvex.exe /c:\"" + folder(config) + job + ".dxc\"" + values;
}

void Sandbox::installDorvex(const std::wstring& folder) const {
    copyProgram(L"Dorvex.exe", folder + L"\\Dorvex.exe");
}

std::vector<Launch> Sandbox::launches(const std::wstring& folder) const {
    std::vector<Launch> result;
    for (int n = 1;; n++) {
        std::string record = readFile(folder + L"\\launch-" + std::to_wstring(n) + L".txt");
        size_t nl = record.find('\n');
        if (nl == std::string::npos || nl == 0) break;  // missing, or still being written
        result.push_back({std::stoi(record.substr(0, nl)), record.substr(nl + 1)});
    }
    return result;
}

std::vector<Launch> waitForLaunches(const Sandbox& box, size_t count, const std::wstring& folder, int timeoutMs) {
    waitFor([&] { return box.launches(folder).size() >= count; }, timeoutMs);
    Sleep(300);  // and no more than that
    return box.launches(folder);
}

std::vector<std::string> launchedLines(const Sandbox& box, size_t count, const std::wstring& folder) {
    std::vector<std::string> lines;
    for (const Launch& l : waitForLaunches(box, count, folder)) lines.push_back(l.commandLine);
    std::sort(lines.begin(), lines.end());
    return lines;
}

RunResult Sandbox::runMarlet(const std::wstring& arguments, const DialogHandler& onDialog, int timeoutMs) const {
    return runProgram(L"\"" + path(L"marlet.exe") + L"\" " + arguments, dir_, onDialog, timeoutMs);
}

RunResult runProgram(const std::wstring& commandLine, const std::wstring& folder, const DialogHandler& onDialog,
                     int timeoutMs, bool anyProcess, const std::function<bool()>& busy, int busyMs) {
    RunResult result;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(),
                        &si, &pi)) {
        result.exitCode = static_cast<DWORD>(-1);
        return result;
    }
    CloseHandle(pi.hThread);
    std::set<HWND> answered;
    for (int waited = 0, after = 0;;) {
        bool running = WaitForSingleObject(pi.hProcess, 25) == WAIT_TIMEOUT;
        if (!running && (!busy || after > busyMs || !busy())) break;
        if (!running) Sleep(25), after += 25;
        for (HWND w : findDialogs(anyProcess ? 0 : pi.dwProcessId)) {
            if (!answered.insert(w).second) continue;
            Sleep(50);  // let it finish drawing
            result.dialogs.push_back(readDialog(w));
            onDialog(result.dialogs.back());
        }
        if (running && (waited += 25) > timeoutMs) {
            result.timedOut = true;
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
    }
    GetExitCodeProcess(pi.hProcess, &result.exitCode);
    CloseHandle(pi.hProcess);
    return result;
}

}  // namespace harness

// Processes, the command line, the executable's folder, string table, clock.
#include <windows.h>
#include <tlhelp32.h>

#include <memory>

#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_util.h"

namespace marlet::win32 {

static bool hasFolder(const std::wstring& path) {
    return path.find_first_of(L"\\/:") != std::wstring::npos;
}

// The program file as it will be started: a name without a folder is looked for
// on the system path, a path must name an existing file.
static std::wstring resolveProgram(const std::wstring& program) {
    if (!hasFolder(program)) {
        wchar_t found[MAX_PATH * 4];
        DWORD n = SearchPathW(nullptr, program.c_str(), nullptr, MAX_PATH * 4, found, nullptr);
        if (n == 0 || n >= MAX_PATH * 4) throw Error(kErrFileNotFound, "File not found");
        return found;
    }
    DWORD attributes = GetFileAttributesW(program.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Error(kErrFileNotFound, "File not found");
    return program;
}

void startProcess(const std::string& program, const std::string& commandLine, WindowState windowState) {
    std::wstring path = resolveProgram(widen(program));
    std::wstring line = widen(commandLine);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = windowState == WindowState::MinimizedFocus ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        throw lastError();
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

// What follows the program's own name, which ends at its closing quote when it
// is quoted and at the first blank otherwise; the blanks after it are not part.
std::string commandLineText() {
    const wchar_t* s = GetCommandLineW();
    if (*s == L'"') {
        s++;
        while (*s && *s != L'"') s++;
        if (*s) s++;
    } else {
        while (*s && *s != L' ' && *s != L'\t') s++;
    }
    while (*s == L' ' || *s == L'\t') s++;
    return narrow(s, wcslen(s));
}

std::wstring exePathWide() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string exePath() { return narrow(exePathWide()); }

std::string exeFolder() {
    std::wstring path = exePathWide();
    size_t slash = path.find_last_of(L"\\/");
    return narrow(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

void endProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

// A watchdog's bound and what it calls; its thread owns it.
struct Watch {
    DWORD milliseconds;
    void (*onTimeout)();
};

static DWORD WINAPI watchdog(void* param) {
    std::unique_ptr<Watch> watch(static_cast<Watch*>(param));
    Sleep(watch->milliseconds);
    watch->onTimeout();
    return 0;
}

void startWatchdog(int seconds, void (*onTimeout)()) {
    auto* watch = new Watch{static_cast<DWORD>(seconds) * 1000, onTimeout};
    HANDLE thread = CreateThread(nullptr, 0, watchdog, watch, 0, nullptr);
    if (thread) CloseHandle(thread);
    else delete watch;
}

uint32_t processId() { return GetCurrentProcessId(); }

// The elevation of a process's token; RunLevel::Unknown when it cannot be read.
static RunLevel levelOf(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return RunLevel::Unknown;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    BOOL read = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    if (!read) return RunLevel::Unknown;
    return elevation.TokenIsElevated ? RunLevel::Elevated : RunLevel::Standard;
}

RunLevel ownLevel() {
    RunLevel level = levelOf(GetCurrentProcess());
    return level == RunLevel::Unknown ? RunLevel::Standard : level;
}

std::vector<RunningProcess> processesNamed(const std::vector<std::string>& exeNames) {
    std::vector<RunningProcess> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    DWORD ownSession = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        bool named = false;
        for (const std::string& name : exeNames) named = named || lstrcmpiW(entry.szExeFile, widen(name).c_str()) == 0;
        if (!named) continue;
        // A session that cannot be read is not taken for this one.
        DWORD session = 0;
        bool ours = ProcessIdToSessionId(entry.th32ProcessID, &session) && session == ownSession;
        // Limited query rights are granted across levels; the token may still be closed to us.
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        found.push_back({ours, process ? levelOf(process) : RunLevel::Unknown});
        if (process) CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found;
}

std::string loadString(int id) {
    const wchar_t* text = nullptr;
    int n = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 ? narrow(text, static_cast<size_t>(n)) : std::string();
}

LocalTime localTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace marlet::win32

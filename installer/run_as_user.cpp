// runasuser.exe: starts a program as the signed-in user, not elevated, for the
// installer and the uninstaller, which run elevated. A program that talks to
// QuickBooks through its SDK must run at QuickBooks' own level: started from
// the elevated installer, marlet.exe /install, /uninstall or /check would not
// reach the QuickBooks the user started.
//
//   runasuser.exe [/wait=SECONDS] PROGRAM [ARGUMENTS]
//
// The desktop's shell (explorer.exe, which runs as the signed-in user) is asked
// to start it: the shell window's view hands out the shell's automation object,
// whose IShellDispatch2::ShellExecute runs in the shell's process (the way
// Windows-classic-samples' ExecInExplorer does it). Only S_OK from it is a
// start: S_FALSE and the failures are not.
//
// Without /wait it does not wait for the program. With /wait it finds the
// process the shell started (PROGRAM's file, not running before) and waits for
// it to end, SECONDS at most, so that its exit code can be told.
//
// Exit codes:
//   0  started (with /wait: and ended with exit code 0)
//   1  no desktop shell, or the shell did not start it: nothing was started
//   2  bad arguments
//   3  /wait: still running after SECONDS
//   4  /wait: it ended with another exit code
//   5  /wait: started, but its process was not found to wait for
#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <set>
#include <string>

namespace {

// Releases the interface it holds.
template <class T>
struct Held {
    T* p = nullptr;
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    void** out() { return reinterpret_cast<void**>(&p); }
};

// The desktop shell's IShellDispatch2, or nothing.
bool desktopShell(Held<IShellDispatch2>& shell) {
    Held<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.out())))
        return false;
    VARIANT desktop;
    VariantInit(&desktop);
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    VARIANT none;
    VariantInit(&none);
    long window = 0;
    Held<IDispatch> found;
    if (windows->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              reinterpret_cast<IDispatch**>(found.out())) != S_OK)
        return false;
    Held<IServiceProvider> services;
    Held<IShellBrowser> browser;
    Held<IShellView> view;
    Held<IDispatch> background;
    Held<IShellFolderViewDual> folderView;
    Held<IDispatch> application;
    return SUCCEEDED(found->QueryInterface(IID_IServiceProvider, services.out())) &&
           SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.out())) &&
           SUCCEEDED(browser->QueryActiveShellView(&view.p)) &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.out())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.out())) &&
           SUCCEEDED(folderView->get_Application(&application.p)) &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.out()));
}

// The rest of the command line after the first word, as it was typed.
std::wstring argumentsAfterProgram(const wchar_t* line) {
    bool quoted = false;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
        if (*line == L'"') quoted = !quoted;
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

// A BSTR variant that frees its string.
struct Text {
    VARIANT v;
    explicit Text(const std::wstring& s) {
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { VariantClear(&v); }
};

// The processes running `program` (a full path, any case).
std::set<DWORD> processesOf(const std::wstring& program) {
    std::set<DWORD> found;
    const std::wstring name = program.substr(program.find_last_of(L"\\/") + 1);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, name.c_str()) != 0) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process) continue;
        wchar_t image[MAX_PATH * 2];
        DWORD size = MAX_PATH * 2;
        if (QueryFullProcessImageNameW(process, 0, image, &size) && lstrcmpiW(image, program.c_str()) == 0)
            found.insert(entry.th32ProcessID);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found;
}

// Waits for the process of `program` that is not among `before` to appear and
// end, `seconds` in all; the exit code as runasuser.exe gives it.
int waitForNew(const std::wstring& program, const std::set<DWORD>& before, DWORD seconds) {
    const ULONGLONG deadline = GetTickCount64() + seconds * 1000ULL;
    HANDLE process = nullptr;
    // The shell starts it on its own thread: it appears a moment later.
    for (ULONGLONG seenBy = GetTickCount64() + 15000; !process && GetTickCount64() < seenBy; Sleep(100))
        for (DWORD pid : processesOf(program))
            if (!before.count(pid) && !process)
                process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return 5;
    const ULONGLONG now = GetTickCount64();
    DWORD exitCode = 0;
    int result = 3;
    if (WaitForSingleObject(process, now < deadline ? static_cast<DWORD>(deadline - now) : 0) == WAIT_OBJECT_0)
        result = GetExitCodeProcess(process, &exitCode) && exitCode == 0 ? 0 : 4;
    CloseHandle(process);
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    // /wait=SECONDS, a whole number of seconds, comes first when given.
    int first = 1;
    long waitSeconds = -1;
    if (argc > 1 && _wcsnicmp(argv[1], L"/wait=", 6) == 0) {
        wchar_t* end = nullptr;
        waitSeconds = wcstol(argv[1] + 6, &end, 10);
        if (end == argv[1] + 6 || *end || waitSeconds < 0 || waitSeconds > 86400) waitSeconds = -2;
        first = 2;
    }
    if (argc <= first || waitSeconds == -2) {
        LocalFree(argv);
        return 2;
    }
    // Compared with the started process's image path: a full path.
    wchar_t full[MAX_PATH * 2];
    DWORD length = GetFullPathNameW(argv[first], MAX_PATH * 2, full, nullptr);
    const std::wstring program = length > 0 && length < MAX_PATH * 2 ? full : argv[first];
    // The arguments after PROGRAM, as they were written.
    std::wstring arguments = argumentsAfterProgram(GetCommandLineW());
    for (int i = 0; i < first; i++) arguments = argumentsAfterProgram(arguments.c_str());
    LocalFree(argv);
    // The program's own folder is its working folder.
    const std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int result = 1;
    {
        Held<IShellDispatch2> shell;
        if (desktopShell(shell)) {
            const std::set<DWORD> before = waitSeconds >= 0 ? processesOf(program) : std::set<DWORD>();
            BSTR file = SysAllocString(program.c_str());
            Text args(arguments), dir(folder), verb(L"open");
            VARIANT show;
            VariantInit(&show);
            show.vt = VT_I4;
            show.lVal = SW_SHOWNORMAL;
            // S_FALSE also SUCCEEDED(): it is no start.
            if (shell->ShellExecute(file, args.v, dir.v, verb.v, show) == S_OK)
                result = waitSeconds >= 0 ? waitForNew(program, before, static_cast<DWORD>(waitSeconds)) : 0;
            SysFreeString(file);
        }
    }
    CoUninitialize();
    return result;
}

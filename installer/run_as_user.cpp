// runasuser.exe: starts a program as the signed-in user, not elevated, for the
// installer, which runs elevated. A program that talks to QuickBooks through
// its SDK must run at QuickBooks' own level: started from the elevated
// installer, marlet.exe /install or /check would not reach the QuickBooks the
// user started.
//
//   runasuser.exe PROGRAM [ARGUMENTS]
//
// The desktop's shell (explorer.exe, which runs as the signed-in user) is asked
// to start it: the shell window's view hands out the shell's automation object,
// whose IShellDispatch2::ShellExecute runs in the shell's process (the way
// Windows-classic-samples' ExecInExplorer does it). It does not wait for the
// program. Exit code 0: the shell started it; 1: there is no desktop shell
// (a session without one, as a deployment tool's); 2: bad arguments.
#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    const std::wstring program = argv[1];
    // The arguments after PROGRAM, as they were written.
    const std::wstring arguments = argumentsAfterProgram(argumentsAfterProgram(GetCommandLineW()).c_str());
    LocalFree(argv);
    // The program's own folder is its working folder.
    const std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int result = 1;
    {
        Held<IShellDispatch2> shell;
        if (desktopShell(shell)) {
            BSTR file = SysAllocString(program.c_str());
            Text args(arguments), dir(folder), verb(L"open");
            VARIANT show;
            VariantInit(&show);
            show.vt = VT_I4;
            show.lVal = SW_SHOWNORMAL;
            if (SUCCEEDED(shell->ShellExecute(file, args.v, dir.v, verb.v, show))) result = 0;
            SysFreeString(file);
        }
    }
    CoUninitialize();
    return result;
}

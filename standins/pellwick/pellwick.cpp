// Pellwick wizard stand-in: records how it was started, then stays open as a
// wizard does, until its window is closed (or a minute has passed).
// Each start writes launch-<n>.txt beside the exe: the first line is the window
// state it was asked for (STARTUPINFO wShowWindow, or -1 without one), the rest
// is its full command line exactly as received, in UTF-8. Its window is titled
// "Pellwick" and is shown in the state it was asked for.
#include <windows.h>

#include <string>

static std::string utf8(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

// Written under another name first, so that a reader never sees half a record.
static bool record(const std::string& text) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    folder.resize(folder.find_last_of(L'\\') + 1);
    for (int n = 1; n < 100000; n++) {
        std::wstring name = folder + L"launch-" + std::to_wstring(n);
        if (GetFileAttributesW((name + L".txt").c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        std::wstring part = name + L".part";
        HANDLE f = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return false;
        }
        DWORD written;
        WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(f);
        return MoveFileW(part.c_str(), (name + L".txt").c_str());
    }
    return false;
}

static LRESULT CALLBACK wizardProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY || (msg == WM_TIMER && wp == 1)) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    int state = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    if (!record(std::to_string(state) + "\n" + utf8(GetCommandLineW()))) return 2;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = wizardProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"PellwickStandIn";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"Pellwick", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                400, 300, nullptr, nullptr, instance, nullptr);
    if (!window) return 3;
    ShowWindow(window, show);
    SetTimer(window, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

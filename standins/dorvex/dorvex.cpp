// Dorvex stand-in: records how it was started and ends.
// Each start writes launch-<n>.txt beside the exe (written as launch-<n>.part and
// renamed, so a reader never sees half a record): the first line is the window
// state it was asked for (STARTUPINFO wShowWindow, or -1 without one), the rest
// is its full command line exactly as received, in UTF-8.
#include <windows.h>

#include <string>

static std::string utf8(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    int state = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    std::string record = std::to_string(state) + "\n" + utf8(GetCommandLineW());

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
            return 2;
        }
        DWORD written;
        WriteFile(f, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
        CloseHandle(f);
        return MoveFileW(part.c_str(), (name + L".txt").c_str()) ? 0 : 4;
    }
    return 3;
}

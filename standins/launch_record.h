#pragma once
// What the Dorvex and Pellwick stand-ins record of each start: launch-<n>.txt
// beside the exe, written as launch-<n>.part and renamed, so a reader never sees
// half a record. The first line is the window state the program was asked for
// (STARTUPINFO wShowWindow, or -1 without one), the rest its full command line
// exactly as received, in UTF-8.
#include <windows.h>

#include <string>

inline bool recordLaunch() {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    int state = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    const wchar_t* line = GetCommandLineW();
    int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string commandLine(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, line, -1, commandLine.data(), n, nullptr, nullptr);
    std::string record = std::to_string(state) + "\n" + commandLine;

    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    folder.resize(folder.find_last_of(L'\\') + 1);
    for (int i = 1; i < 100000; i++) {
        std::wstring name = folder + L"launch-" + std::to_wstring(i);
        if (GetFileAttributesW((name + L".txt").c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        std::wstring part = name + L".part";
        HANDLE f = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return false;
        }
        DWORD written;
        WriteFile(f, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
        CloseHandle(f);
        return MoveFileW(part.c_str(), (name + L".txt").c_str()) != 0;
    }
    return false;
}

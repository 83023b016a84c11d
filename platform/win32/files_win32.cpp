// Files and the ANSI code page.
#include <windows.h>
// After windows.h:
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_util.h"

namespace marlet::win32 {

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool readFile(const std::string& path, std::string& bytes) {
    HANDLE f = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buffer[64 * 1024];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(f, buffer, sizeof buffer, &got, nullptr)) && got > 0) bytes.append(buffer, got);
    CloseHandle(f);
    return ok;
}

// False with the first failure's code as the last error.
static bool writeAll(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && FlushFileBuffers(f);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (ok && written != bytes.size()) ok = false, error = ERROR_HANDLE_DISK_FULL;
    if (!CloseHandle(f) && ok) return false;
    SetLastError(error);
    return ok;
}

// The last error as a failure, and false.
static bool failed(FileFailure* failure, DWORD code = GetLastError()) {
    if (failure) *failure = {.accessDenied = code == ERROR_ACCESS_DENIED, .code = code, .reason = systemMessage(code)};
    return false;
}

bool isReadOnly(const std::string& path) {
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// The new content goes to a file of its own in the same folder first; only a
// complete file takes the old one's place, in one rename.
bool replaceFile(const std::string& path, const std::string& bytes, FileFailure* failure) {
    std::wstring target = widen(path);
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return failed(failure, ERROR_ACCESS_DENIED);
    // Most starts write back what they read: a file that already holds these
    // bytes needs no new copy, and no wait for the disk.
    std::string current;
    if (attributes != INVALID_FILE_ATTRIBUTES && readFile(path, current) && current == bytes) return true;
    size_t slash = target.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? L"." : target.substr(0, slash);
    wchar_t temp[MAX_PATH + 16];
    if (!GetTempFileNameW(folder.c_str(), L"dxq", 0, temp)) return failed(failure);
    if (writeAll(temp, bytes) &&
        MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DWORD error = GetLastError();
    DeleteFileW(temp);
    return failed(failure, error);
}

bool createFolder(const std::string& path, FileFailure* failure) {
    std::wstring folder = widen(path);
    if (CreateDirectoryW(folder.c_str(), nullptr)) return true;
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return failed(failure, error);
}

// %LOCALAPPDATA% costs nothing; the shell's answer loads shell32 and ole32, so
// it is asked only when a file is about to be written.
std::string userDataFolder(bool askShell) {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH + 1);
    if (n > 0 && n <= MAX_PATH) return narrow(buffer, n);
    if (!askShell) return "";
    std::string folder;
    PWSTR known = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)) && known) folder = narrow(known);
    CoTaskMemFree(known);
    return folder;
}

bool appendFile(const std::string& path, const std::string& bytes) {
    // Appends from several processes land whole: the system puts each write at the end.
    HANDLE f = CreateFileW(widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    return CloseHandle(f) && ok;
}

int64_t fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool renameFile(const std::string& from, const std::string& to) {
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}


// `whole`, when given, says whether every character found a place in `to`:
// asked only of a code page (CP_UTF8 holds them all), with no best fit.
static std::string convert(const std::string& s, UINT from, UINT to, bool* whole = nullptr) {
    if (whole) *whole = true;
    if (s.empty()) return {};
    int n = MultiByteToWideChar(from, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(from, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    const DWORD flags = whole ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* askDefault = whole ? &usedDefault : nullptr;
    int m = WideCharToMultiByte(to, flags, w.data(), n, nullptr, 0, nullptr, askDefault);
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(to, flags, w.data(), n, out.data(), m, nullptr, askDefault);
    if (whole && (usedDefault || (m == 0 && n > 0))) *whole = false;
    return out;
}

std::string ansiToUtf8(const std::string& ansi) { return convert(ansi, CP_ACP, CP_UTF8); }
std::string utf8ToAnsi(const std::string& utf8, bool* whole) { return convert(utf8, CP_UTF8, CP_ACP, whole); }

}  // namespace marlet::win32

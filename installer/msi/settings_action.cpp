// The settings file's custom actions of Marlet's MSI packages (Marlet.wxs).
// Windows Installer has no table for a file of plain lines, so these write
// and remove dxqb.ini.
//   CheckSettings   immediate, before anything is installed: fails the
//                   installation (1603, the property and why in the log) when
//                   DXPATH or CONFIGPATH cannot be one line of the file
// The others run deferred and read CustomActionData:
//   WriteSettings   "folder|dxPath|configPath"  creates folder\dxqb.ini when
//                   there is none (an upgrade or a repair keeps the one there)
//   RemoveSettings  "folder"                    deletes it and what a cut-short
//                   save left (dxq*.tmp)
// The folder ends in "\", as Windows Installer gives directories.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <string>

#include "installer/facts/new_settings.h"

namespace {

namespace facts = marlet::installer;

std::wstring property(MSIHANDLE install, const wchar_t* name) {
    wchar_t none[1] = L"";
    DWORD size = 0;
    MsiGetPropertyW(install, name, none, &size);
    std::wstring data(++size, L'\0');
    MsiGetPropertyW(install, name, data.data(), &size);
    data.resize(size);
    return data;
}

std::wstring actionData(MSIHANDLE install) { return property(install, L"CustomActionData"); }

std::string convert(const std::wstring& text, UINT codePage, DWORD flags, BOOL* usedDefault) {
    if (text.empty()) return "";
    const int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(codePage, flags, text.c_str(), length, nullptr, 0, nullptr, usedDefault);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0 && WideCharToMultiByte(codePage, flags, text.c_str(), length, bytes.data(), size, nullptr,
                                        usedDefault) != size)
        bytes.clear();
    return bytes;
}

std::string utf8(const std::wstring& text) { return convert(text, CP_UTF8, 0, nullptr); }

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return L"";
    const int length = static_cast<int>(utf8.size());
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), length, nullptr, 0);
    std::wstring text(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), length, text.data(), size);
    return text;
}

// Why `text` cannot be a folder line of dxqb.ini (installer/facts/new_settings.h), or "".
std::wstring badLine(const std::wstring& text) {
    const std::string why = facts::folderFault(utf8(text));
    if (!why.empty()) return L"it " + wide(why);
    if (text.empty()) return L"";
    BOOL usedDefault = FALSE;
    const std::string bytes = convert(text, CP_ACP, WC_NO_BEST_FIT_CHARS, &usedDefault);
    if (bytes.empty() || usedDefault) return L"it " + wide(marlet::kNotInCodePage);
    return L"";
}

// The n-th field (from 0) of "a|b|c"; "|" is in none of them (CheckSettings).
std::wstring field(const std::wstring& data, int n) {
    size_t from = 0;
    for (; n > 0; n--) {
        from = data.find(L'|', from);
        if (from == std::wstring::npos) return L"";
        from++;
    }
    return data.substr(from, data.find(L'|', from) - from);
}

// A folder as dxqb.ini holds it: ending in "\" unless empty.
std::wstring withBackslash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

// The system's ANSI code page, in which marlet.exe reads the file.
std::string ansi(const std::string& utf8Text) { return convert(wide(utf8Text), CP_ACP, 0, nullptr); }

// A line in the installation's log.
void log(MSIHANDLE install, const std::wstring& text) {
    MSIHANDLE record = MsiCreateRecord(0);
    MsiRecordSetStringW(record, 0, (L"Marlet: " + text).c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall CheckSettings(MSIHANDLE install) {
    for (const wchar_t* name : {L"DXPATH", L"CONFIGPATH"}) {
        const std::wstring why = badLine(property(install, name));
        if (!why.empty()) {
            log(install, std::wstring(name) + L" cannot be written into dxqb.ini: " + why);
            return ERROR_INSTALL_FAILURE;
        }
    }
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall WriteSettings(MSIHANDLE install) {
    const std::wstring data = actionData(install);
    const std::wstring path = field(data, 0) + L"dxqb.ini";
    // CheckSettings has refused what would not make one line each; this is the last guard.
    if (std::count(data.begin(), data.end(), L'|') != 2 || !badLine(field(data, 1)).empty() ||
        !badLine(field(data, 2)).empty()) {
        log(install, L"the folders for " + path + L" cannot be written into it");
        return ERROR_INSTALL_FAILURE;
    }
    const std::string text = ansi(
        facts::newSettingsText(utf8(withBackslash(field(data, 1))), utf8(withBackslash(field(data, 2)))));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS) {
            log(install, L"keeping the existing " + path);
            return ERROR_SUCCESS;
        }
        log(install, L"could not create " + path + L" (error " + std::to_wstring(error) + L")");
        return ERROR_INSTALL_FAILURE;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DeleteFileW(path.c_str());
        log(install, L"could not write " + path);
        return ERROR_INSTALL_FAILURE;
    }
    log(install, L"created " + path);
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall RemoveSettings(MSIHANDLE install) {
    const std::wstring folder = actionData(install);
    DeleteFileW((folder + L"dxqb.ini").c_str());
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"dxq*.tmp").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do DeleteFileW((folder + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    log(install, L"removed the settings in " + folder);
    return ERROR_SUCCESS;
}

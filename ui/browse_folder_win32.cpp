// The shell's folder browser.
#include <windows.h>
#include <shlobj.h>

#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_util.h"
#include "ui/dialogs_win32.h"

namespace marlet::win32 {

// The chosen folder's path, or "" on cancel, for an item without a file-system
// path, and on any failure. The tree starts at the desktop; only file-system
// folders can be chosen.
std::string browseForFolder(void* ownerWindow, const std::string& prompt) {
    try {
        ensureCom();
    } catch (const Error&) {
        return {};
    }
    std::wstring title = widen(prompt);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = static_cast<HWND>(ownerWindow);
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) return {};
    wchar_t path[260] = {};
    BOOL found = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    path[259] = L'\0';
    return found ? narrow(path, wcslen(path)) : std::string();
}

}  // namespace marlet::win32

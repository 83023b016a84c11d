#include "com/com_registration_win32.h"

#include <windows.h>

#include <string>

#include "com/com_classes_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_util.h"

namespace marlet::com {

namespace {

bool setValue(const std::wstring& key, const std::wstring& value) {
    HKEY k;
    LONG r = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
    if (r != ERROR_SUCCESS) {
        logFailedWin32Call("RegCreateKeyExW", r);
        return false;
    }
    r = RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    if (r != ERROR_SUCCESS) logFailedWin32Call("RegSetValueExW", r);
    return r == ERROR_SUCCESS;
}

bool deleteTree(const std::wstring& key) {
    LONG r = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (r == ERROR_FILE_NOT_FOUND) return true;
    if (r != ERROR_SUCCESS) {
        logFailedWin32Call("RegDeleteTreeW", r);
        return false;
    }
    // Where RegDeleteTreeW leaves the emptied key itself, it goes here.
    r = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) {
        logFailedWin32Call("RegDeleteKeyW", r);
        return false;
    }
    return true;
}

}  // namespace

bool registerClasses() {
    std::wstring server = L"\"" + win32::exePathWide() + L"\"";
    bool ok = true;
    for (const ComClassFacts& c : kComClasses) {
        std::wstring clsid = widen(c.clsid);
        std::wstring key = L"CLSID\\" + clsid;
        std::wstring progId = widen(c.progId);
        std::wstring description = widen(c.description);
        ok &= setValue(progId, description);
        ok &= setValue(progId + L"\\CLSID", clsid);
        ok &= setValue(key, description);
        ok &= setValue(key + L"\\ProgID", progId);
        ok &= setValue(key + L"\\LocalServer32", server);
    }
    return ok;
}

bool unregisterClasses() {
    bool ok = true;
    for (const ComClassFacts& c : kComClasses) {
        ok &= deleteTree(L"CLSID\\" + widen(c.clsid));
        ok &= deleteTree(widen(c.progId));
    }
    return ok;
}

}  // namespace marlet::com

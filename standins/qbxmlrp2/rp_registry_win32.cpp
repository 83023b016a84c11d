#include "standins/qbxmlrp2/rp_registry.h"

#include <windows.h>

namespace qbrp {

std::filesystem::path registeredFolder() {
    wchar_t clsid[64];
    LONG size = sizeof clsid;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, L"QBXMLRP2.RequestProcessor\\CLSID", clsid, &size) != ERROR_SUCCESS)
        return {};
    std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    wchar_t dll[MAX_PATH];
    size = sizeof dll;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), dll, &size) != ERROR_SUCCESS) return {};
    return std::filesystem::path(dll).parent_path();
}

}  // namespace qbrp

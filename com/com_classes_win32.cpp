// marlet.exe's public COM classes: the one table /regserver, /unregserver, the
// serving loop and the MSI packages' registry rows (installer/msi/com_classes.cmake)
// all read.
#include "com/com_classes_win32.h"

#include <iterator>
#include <string>

#include "app/log.h"
#include "com/com_object_win32.h"
#include "platform/win32/win32_util.h"
#include "qb/menu_subscription.h"
#include "settings/options.h"

namespace marlet::com {

// {15B42DA8-7878-4EE2-B4B7-1A9BE5C3D21B}
const CLSID CLSID_QBMenuListener = {0x15B42DA8, 0x7878, 0x4EE2, {0xB4, 0xB7, 0x1A, 0x9B, 0xE5, 0xC3, 0xD2, 0x1B}};
// {29C16FFB-9829-4231-AA2A-93C2D2896D6F}
const CLSID CLSID_cmOptions = {0x29C16FFB, 0x9829, 0x4231, {0xAA, 0x2A, 0x93, 0xC2, 0xD2, 0x89, 0x6D, 0x6F}};

const ComClass kClasses[kClassCount] = {
    {kListenerProgID, L"Marlet QuickBooks menu listener", &CLSID_QBMenuListener, createListener},
    {kOptionsProgID, L"Marlet options record", &CLSID_cmOptions, createOptions},
};

void logFailedCall(const char* call, HRESULT hr) {
    logLine(std::string(call) + " failed: " + supportErrorText(hresultError(hr)));
}

void logFailedWin32Call(const char* call, LONG code) {
    logFailedCall(call, HRESULT_FROM_WIN32(static_cast<DWORD>(code)));
}

}  // namespace marlet::com

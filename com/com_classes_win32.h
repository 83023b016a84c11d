#pragma once
// The COM classes marlet.exe serves: what /regserver writes for each and what
// the serving loop registers.
#include <windows.h>

#include <cstddef>

namespace marlet::com {

struct ComClass {
    const char* progId;
    const wchar_t* description;
    const CLSID* clsid;
    HRESULT (*create)(REFIID riid, void** object);
};

constexpr size_t kClassCount = 2;
extern const ComClass kClasses[kClassCount];

// The one log line of a call that failed: its name and its code, hex first,
// with the system's words ("CoRegisterClassObject failed: 0x80004005 (...): ...").
void logFailedCall(const char* call, HRESULT hr);
// The same for a call that answers with a Win32 error code.
void logFailedWin32Call(const char* call, LONG code);

}  // namespace marlet::com

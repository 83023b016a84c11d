#pragma once
// The COM classes marlet.exe serves (com/com_classes.h), with what only Windows
// needs: each one's CLSID as a GUID and the factory that makes its objects.
#include <windows.h>

#include <cstddef>

#include "com/com_classes.h"

namespace marlet::com {

struct ComClass {
    const ComClassFacts* facts;
    CLSID clsid;  // facts->clsid's numbers
    HRESULT (*create)(REFIID riid, void** object);
};

constexpr size_t kClassCount = std::size(kComClasses);
extern const ComClass kClasses[kClassCount];

// The one log line of a call that failed: its name and its code, hex first,
// with the system's words ("CoRegisterClassObject failed: 0x80004005 (...): ...").
void logFailedCall(const char* call, HRESULT hr);
// The same for a call that answers with a Win32 error code.
void logFailedWin32Call(const char* call, LONG code);

}  // namespace marlet::com

#pragma once
// QuickBooks' menu-event callback interface, as its SDK event library
// (QBSDKEVENTLib) describes it: IUnknown-derived, oleautomation, one method.
#include <windows.h>
#include <oaidl.h>

#include <string>

// {A3A4E33E-E747-48CF-947B-93FDE67FF72F}
inline const IID IID_IQBEventCallback = {0xA3A4E33E, 0xE747, 0x48CF,
                                         {0x94, 0x7B, 0x93, 0xFD, 0xE6, 0x7F, 0xF7, 0x2F}};

struct IQBEventCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE inform(BSTR eventXML) = 0;
};

// Builds the event library's type library beside `folder` and registers it, so
// that COM marshals IQBEventCallback between processes (what QuickBooks'
// installer does). Returns S_OK or the failing HRESULT.
HRESULT installEventTypeLib(const std::wstring& folder);
HRESULT uninstallEventTypeLib();
// True when the interface is registered with a proxy/stub.
bool eventTypeLibInstalled();

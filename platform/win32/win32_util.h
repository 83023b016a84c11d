#pragma once
// Small helpers shared by the Windows side: text conversion and errors.
#include <windows.h>

#include <string>

#include "platform/error.h"

namespace marlet {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
std::string narrow(const wchar_t* wide, size_t length);

// A window's text.
std::string windowText(HWND window);

// The system's words for an HRESULT or Win32 error code, without the line end.
std::string systemMessage(DWORD code);
// An Error for a failed HRESULT: its signed number and the system's message.
Error hresultError(HRESULT hr);
// An Error for GetLastError() after a failed call.
Error lastError();

}  // namespace marlet

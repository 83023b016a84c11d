#pragma once
// marlet.exe as a COM local server (Windows side only).
#include <string>

namespace marlet {

// Handles /regserver and /unregserver (anywhere on the command line, either
// case, "-" or "/"). Returns true when one was found and handled: the caller
// then ends without running Main.
bool handleRegistrationSwitches(const std::wstring& commandLine, int& exitCode);

// Whether COM started the process (-Embedding).
bool startedByCom(const std::wstring& commandLine);

// Started by COM (-Embedding): registers the class objects and serves calls on
// this thread until the last object is released and no window is open.
void serveComIfEmbedded(const std::wstring& commandLine);

}  // namespace marlet

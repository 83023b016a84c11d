#pragma once
// Menu events delivered the way QuickBooks delivers them: through the host
// stand-in (qbhost.exe) and real COM activation of the sandbox's marlet.exe.
#include <windows.h>

#include <string>
#include <vector>

#include "sandbox.h"

namespace harness {

// One inform call as the host reported it.
struct HostCall {
    std::string event;        // the host's token, e.g. "scan@txn:Invoice:1A-1"
    HRESULT hr = E_FAIL;
    std::string description;  // from the COM error object or EXCEPINFO
    long ms = -1;             // how long the call took; -1 for a line that is no call
};

struct HostRun {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::vector<HostCall> calls;  // "create" lines included when activation failed
    std::vector<Dialog> dialogs;  // shown by any process while the host ran
};

// Registers the sandbox's marlet.exe as the COM server of its classes.
void registerMarlet(const Sandbox& box);
void unregisterMarlet(const Sandbox& box);

// Copies filetools.dll into the sandbox and registers it there; its log is
// then filetools.log in the sandbox.
void installFileTools(const Sandbox& box);
void uninstallFileTools(const Sandbox& box);
std::vector<std::string> fileToolsLog(const Sandbox& box);

// Runs the host stand-in in the sandbox with `arguments`, answering dialogs of
// every process with `onDialog`; then waits until no marlet.exe is left.
HostRun runHost(const Sandbox& box, const std::wstring& arguments, const DialogHandler& onDialog = pressFirstButton,
                int timeoutMs = 30000);

// Processes whose program is the sandbox's marlet.exe.
int marletProcesses(const Sandbox& box);
bool waitForMarletExit(const Sandbox& box, int timeoutMs = 10000);

}  // namespace harness

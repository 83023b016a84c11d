// The process entry of marlet.exe.
#include <windows.h>

#include "com/com_server_win32.h"
#include "events/event_queue.h"
#include "main/main.h"
#include "main/platform_table_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    marlet::gPlatform = &marlet::kWin32Platform;
    std::wstring commandLine = GetCommandLineW();
    int exitCode = 0;
    if (marlet::handleRegistrationSwitches(commandLine, exitCode)) return exitCode;
    exitCode = marlet::Main(marlet::startedByCom(commandLine));
    marlet::serveComIfEmbedded(commandLine);
    // What no call came to be followed by (a box held back while the class
    // objects were not yet registered) is shown before the process ends.
    marlet::menuEvents().runWaiting();
    return exitCode;
}

// The process entry of marlet.exe.
#include <windows.h>

#include "com/com_server_win32.h"
#include "main/main.h"
#include "main/platform_table_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    marlet::gPlatform = &marlet::kWin32Platform;
    std::wstring commandLine = GetCommandLineW();
    int exitCode = 0;
    if (marlet::handleRegistrationSwitches(commandLine, exitCode)) return exitCode;
    exitCode = marlet::Main();
    marlet::serveComIfEmbedded(commandLine);
    return exitCode;
}

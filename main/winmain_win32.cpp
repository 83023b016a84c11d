// The process entry of marlet.exe.
#include <windows.h>

#include "app/app.h"
#include "app/log.h"
#include "com/com_registration_win32.h"
#include "com/com_server_win32.h"
#include "main/cmdline.h"
#include "main/main.h"
#include "main/platform_table_win32.h"
#include "platform/platform.h"

namespace {

// /regserver and /unregserver, which the installers pass: nothing else runs.
int registration(bool (*change)()) {
    marlet::enableLog(true);
    marlet::logLine("started: " + marlet::platform().commandLineText());
    int code = change() ? marlet::kExitOk : marlet::kExitFailed;
    marlet::logLine("done, exit code " + std::to_string(code));
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace marlet;
    gPlatform = &kWin32Platform;
    std::vector<std::string> args = splitCommandLine();
    if (hasServerSwitch(args, "unregserver")) return registration(com::unregisterClasses);
    if (hasServerSwitch(args, "regserver")) return registration(com::registerClasses);
    int exitCode = Main();
    if (hasServerSwitch(args, "embedding")) {
        int served = serveCom();
        if (served != kExitOk) exitCode = served;
    }
    return exitCode;
}

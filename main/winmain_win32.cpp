// The process entry of marlet.exe.
#include <windows.h>

#include "app/app.h"
#include "app/log.h"
#include "com/com_registration_win32.h"
#include "com/com_server_win32.h"
#include "events/event_queue.h"
#include "main/cmdline.h"
#include "main/main.h"
#include "main/platform_table_win32.h"
#include "platform/platform.h"
#include "ui/dialogs_win32.h"
#include "ui/options_dialog.h"

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
    setOptionsDialog(win32::showOptionsDialog);
    std::vector<std::string> args = splitCommandLine();
    if (hasServerSwitch(args, "unregserver")) return registration(com::unregisterClasses);
    if (hasServerSwitch(args, "regserver")) return registration(com::registerClasses);
    const bool startedByCom = hasServerSwitch(args, "embedding");
    int exitCode = Main(startedByCom);
    if (startedByCom) {
        int served = serveCom();
        if (served != kExitOk) exitCode = served;
    }
    // What no call came to be followed by (a box held back while the class
    // objects were not yet registered) is shown before the process ends.
    menuEvents().runWaiting();
    return exitCode;
}

// Rewrites an options file (and a person's own one, when given) for ever,
// alternating a short and a long record, through cmOptions::writeOptions and the
// Win32 platform table, until it is killed. The durability test starts it and
// terminates it at random moments.
//   options_writer FILE READY_EVENT [USER_FILE]
#include <windows.h>

#include "main/platform_table_win32.h"
#include "platform/win32/win32_util.h"
#include "settings/options.h"
#include "writer_records.h"

#include <stdlib.h>

// A GUI program, so that starting it brings up no console.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = __argc;
    wchar_t** argv = __wargv;
    if (argc != 3 && argc != 4) return 2;
    marlet::gPlatform = &marlet::kWin32Platform;
    const std::string file = marlet::narrow(argv[1]);
    const std::string user = argc == 4 ? marlet::narrow(argv[3]) : file;
    const marlet::cmOptions a = writer::shortRecord(), b = writer::longRecord();
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready || !SetEvent(ready)) return 3;
    for (;;) {
        b.writeOptions(file);
        b.writeOptions(user);
        a.writeOptions(file);
        a.writeOptions(user);
    }
}

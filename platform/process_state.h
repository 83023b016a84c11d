#pragma once
// What this process keeps between calls: each piece has one owner, the file
// that changes it, and that file says here how the piece starts. A fresh
// process is in that state; the fake platform's install puts every piece back
// in it, so that each native test starts as a fresh marlet.exe does.
//
// The owners: gPlatform (platform/platform.cpp); gOptions, the exit code and
// quiet mode (app/app.cpp); whether the log records (app/log.cpp); the menu
// events' queue (events/event_queue.cpp); the file tools (gFileTools,
// events/qb_menu_listener.cpp); the check running now (commands/setup_check.cpp).
// The Windows side's own, never faked: the COM server's (gServer,
// com/com_server_win32.cpp); a watchdog's bound belongs to its thread.

namespace marlet {

// Made once, as a static object, in the owner's file: `reset` puts that
// owner's state back as a fresh process has it, and gives it its first values
// when the owner is made (the state's own definitions leave them out).
class ProcessStateOwner {
public:
    explicit ProcessStateOwner(void (*reset)());
};

// Every owner's state as a fresh process has it.
void resetProcessState();

}  // namespace marlet

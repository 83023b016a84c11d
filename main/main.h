#pragma once
#include <vector>

namespace marlet {

// The start-up routine: read options, run the switches, write options. Returns
// the process's exit code (ExitCode in app/app.h). Started by COM, the process
// shows no box before its class objects are there: a failed save's box waits
// in menuEvents() (events/event_queue.h), after the call that started it.
int Main(bool startedByCom = false);

// The switches Main acts on, in the order it runs them, then the one that
// changes how they run (/quiet). The documents are checked against it.
std::vector<const char*> switchTexts();

}  // namespace marlet

#pragma once
#include <vector>

namespace marlet {

// The start-up routine: read options, run the switches, write options. Returns
// the process's exit code (ExitCode in app/app.h).
int Main();

// The switches Main acts on, in the order it runs them, then the one that
// changes how they run (/quiet). The documents are checked against it.
std::vector<const char*> switchTexts();

}  // namespace marlet

#pragma once

namespace marlet {

// The start-up routine: read options, run the switches, write options. Returns
// the process's exit code (ExitCode in app/app.h).
int Main();

}  // namespace marlet

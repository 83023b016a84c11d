#pragma once
// Marlet's own record of what it did, for whoever has to find out what went
// wrong: %LOCALAPPDATA%\Marlet\marlet.log, UTF-8, one line per step with the
// local time and the process id. A log over 1 MB becomes marlet.log.1 (one older
// file is kept). Writing it never fails a caller and never changes what the user
// sees: a line that cannot be written is dropped.
#include <string>

namespace marlet {

// Whether this process records. Until it is switched on nothing is recorded:
// a plain start leaves no trace.
void enableLog(bool on);
void logLine(const std::string& text);

// The log's full path; "" when the system names no folder for the user's data.
std::string logFilePath();

}  // namespace marlet

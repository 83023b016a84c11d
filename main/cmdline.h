#pragma once
#include <string>
#include <vector>

namespace marlet {

// Splits the command-line text into at most `maxArgs` arguments. Element 0 is
// always empty; the arguments stand at 1..k. A space or TAB directly before "/",
// or a space before "-" or "\", separates arguments and is dropped; every other
// character stays where it stands.
std::vector<std::string> splitCommandLine(const std::string& text, int maxArgs = 10);

// The same on the program's own command-line text.
std::vector<std::string> splitCommandLine(int maxArgs = 10);

}  // namespace marlet

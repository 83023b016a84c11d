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

// Whether one of `args` is the switch COM or an installer passes (-Embedding,
// /regserver, /unregserver): "/" or "-" and `word`, in any case, standing as a
// whole argument (surrounding quotes and trailing blanks aside).
bool hasServerSwitch(const std::vector<std::string>& args, const std::string& word);

}  // namespace marlet

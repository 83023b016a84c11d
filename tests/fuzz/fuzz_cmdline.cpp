// splitCommandLine on arbitrary text and argument limits, with a check that the
// arguments account for every character the splitting rules keep.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "main/cmdline.h"

static bool isDroppedBlank(const std::string& s, size_t i) {
    if (i + 1 >= s.size()) return false;
    char c = s[i], next = s[i + 1];
    return (c == ' ' && (next == '/' || next == '-' || next == '\\')) || (c == '\t' && next == '/');
}

// The kept characters of `s`, cut into groups wherever a dropped blank stood
// between them: what the arguments must be when there is no limit.
static std::vector<std::string> groupsOfKeptCharacters(const std::string& s) {
    std::vector<std::string> groups;
    bool gap = true;
    for (size_t i = 0; i < s.size(); i++) {
        if (isDroppedBlank(s, i)) {
            gap = true;
            continue;
        }
        if (gap) groups.emplace_back();
        gap = false;
        groups.back() += s[i];
    }
    return groups;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int maxArgs = data[0] % 16;  // 10 is the default; 0 and small limits matter too
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::string> args = marlet::splitCommandLine(text, maxArgs);
    std::vector<std::string> groups = groupsOfKeptCharacters(text);

    if (args.empty() || !args[0].empty()) abort();
    size_t k = args.size() - 1;
    size_t expected = groups.size() < static_cast<size_t>(maxArgs) ? groups.size()
                                                                   : static_cast<size_t>(maxArgs);
    if (k != expected) abort();
    // Joined back, they are the input without its separator blanks, cut off
    // where an argument beyond the limit would have begun.
    std::string joined, keptUpToTheLimit;
    for (size_t i = 1; i <= k; i++) {
        if (args[i].empty() || args[i] != groups[i - 1]) abort();
        joined += args[i];
        keptUpToTheLimit += groups[i - 1];
    }
    if (joined != keptUpToTheLimit) abort();
    return 0;
}

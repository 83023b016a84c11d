// splitCommandLine on arbitrary text and argument limits: index 0 empty, at most
// the limit, no empty argument, and nothing but blanks dropped or reordered.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "main/cmdline.h"

static std::string withoutBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t') out += c;
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int maxArgs = data[0] % 16;  // 10 is the default; 0 and small limits matter too
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> args = marlet::splitCommandLine(text, maxArgs);
    if (args.empty() || !args[0].empty() || args.size() > static_cast<size_t>(maxArgs) + 1) abort();
    std::string joined;
    for (size_t i = 1; i < args.size(); i++) {
        if (args[i].empty()) abort();
        joined += args[i];
    }
    // The arguments are the text in order, cut off where one beyond the limit begins.
    std::string all = withoutBlanks(text), kept = withoutBlanks(joined);
    if (all.compare(0, kept.size(), kept) != 0) abort();
    if (args.size() <= static_cast<size_t>(maxArgs) && kept != all) abort();
    return 0;
}

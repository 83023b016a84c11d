#include "main/cmdline.h"

#include "platform/platform.h"

namespace marlet {

static bool isSeparatorPair(char c, char next) {
    if (c == ' ') return next == '/' || next == '-' || next == '\\';
    if (c == '\t') return next == '/';
    return false;
}

std::vector<std::string> splitCommandLine(const std::string& s, int maxArgs) {
    if (maxArgs < 0) maxArgs = 0;
    std::vector<std::string> args(static_cast<size_t>(maxArgs) + 1);
    int k = 0;
    bool inArgument = false;
    for (size_t i = 0; i < s.size(); i++) {
        char next = i + 1 < s.size() ? s[i + 1] : '\0';
        if (isSeparatorPair(s[i], next)) {
            inArgument = false;
            continue;
        }
        if (!inArgument) {
            if (k == maxArgs) break;
            k++;
            inArgument = true;
        }
        args[static_cast<size_t>(k)] += s[i];
    }
    args.resize(static_cast<size_t>(k) + 1);
    return args;
}

std::vector<std::string> splitCommandLine(int maxArgs) {
    return splitCommandLine(platform().commandLineText(), maxArgs);
}

}  // namespace marlet

#include "main/cmdline.h"

#include <algorithm>
#include <cctype>

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
        char next = s[i + 1];  // '\0' after the last character
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

bool hasServerSwitch(const std::vector<std::string>& args, const std::string& word) {
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    for (std::string arg : args) {
        while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\t' || arg.back() == '"')) arg.pop_back();
        if (!arg.empty() && arg.front() == '"') arg.erase(0, 1);
        if (arg.size() != word.size() + 1 || (arg[0] != '/' && arg[0] != '-')) continue;
        if (std::equal(word.begin(), word.end(), arg.begin() + 1, same)) return true;
    }
    return false;
}

}  // namespace marlet

// The documents against the code's own tables: a switch, exit code, time bound,
// set-up check line, setting or ProgID that changes in the code fails here
// until docs/admin-guide.md (the administrator's single home for them) says
// the same. Each table is one line of facts().
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "commands/setup_check.h"
#include "main/main.h"
#include "qb/menu_subscription.h"
#include "settings/options.h"
#include "settings/policies.h"

namespace marlet {
namespace {

const std::string kAdminGuide = "docs/admin-guide.md";

std::string document(const std::string& name) {
    std::ifstream in(std::string(MARLET_SOURCE_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Every ExitCode. A new enumerator does not compile here (-Wswitch) until it is
// named, and so until the guide's table is checked for it.
bool isExitCode(int value) {
    switch (static_cast<ExitCode>(value)) {
    case kExitOk:
    case kExitFailed:
    case kExitMenuRefused:
    case kExitMenuFailed:
    case kExitTimedOut:
    case kExitNeedsPerson:
    case kExitCheckFailed:
        return true;
    }
    return false;
}

std::string inWords(size_t n) {
    static const char* const kWords[] = {"no", "one", "two", "three", "four", "five", "six",
                                         "seven", "eight", "nine", "ten", "eleven", "twelve"};
    return n < std::size(kWords) ? kWords[n] : std::to_string(n);
}

struct Fact {
    std::string text;  // as the document must write it (letter case aside)
    std::string from;  // the code's table or constant
};

std::vector<Fact> facts() {
    std::vector<Fact> f;
    for (const char* sw : switchTexts()) f.push_back({"`" + std::string(sw) + "`", "switchTexts()"});
    f.push_back({std::to_string(kQuietTimeLimitSeconds) + " seconds", "kQuietTimeLimitSeconds"});
    f.push_back({std::to_string(kSetupCheckTimeLimitSeconds / 60) + " minutes", "kSetupCheckTimeLimitSeconds"});
    f.push_back({kSetupCheckTitle, "kSetupCheckTitle"});
    for (const SetupCheck& c : setupChecks()) f.push_back({"| " + std::string(c.name) + " |", "setupChecks()"});
    f.push_back({inWords(setupChecks().size()) + " lines", "setupChecks().size()"});
    for (const Setting& s : kSettings) f.push_back({"| `" + std::string(s.name) + "` |", "kSettings"});
    f.push_back({inWords(std::size(kSettings)) + " lines", "kSettings"});
    f.push_back({kListenerProgID, "kListenerProgID"});
    f.push_back({kOptionsProgID, "kOptionsProgID"});
    f.push_back({kPolicyKey, "kPolicyKey"});
    return f;
}

TEST(Documents, TheAdministratorsGuideNamesWhatTheCodeDoes) {
    const std::string guide = lower(document(kAdminGuide));
    ASSERT_FALSE(guide.empty()) << kAdminGuide << " not found";
    for (const Fact& fact : facts())
        EXPECT_NE(guide.find(lower(fact.text)), std::string::npos)
            << kAdminGuide << " does not say \"" << fact.text << "\" (" << fact.from << ")";
}

// marlet.exe's exit-code table holds one row per code, and no row for a code
// Marlet no longer has.
TEST(Documents, TheExitCodeTableIsMarletsOwn) {
    const std::string guide = document(kAdminGuide);
    const size_t start = guide.find("\n### marlet.exe");
    ASSERT_NE(start, std::string::npos) << kAdminGuide << " has no section \"### marlet.exe\"";
    const std::string section = guide.substr(start, guide.find("\n### ", start + 1) - start);

    std::multiset<int> rows;
    const std::regex row(R"(\n\| (\d+) \|)");
    for (std::sregex_iterator it(section.begin(), section.end(), row), end; it != end; ++it)
        rows.insert(std::stoi((*it)[1].str()));
    std::multiset<int> codes;
    for (int value = 0; value < 256; ++value)
        if (isExitCode(value)) codes.insert(value);
    EXPECT_EQ(rows, codes) << "the rows of marlet.exe's exit-code table in " << kAdminGuide;
}

}  // namespace
}  // namespace marlet

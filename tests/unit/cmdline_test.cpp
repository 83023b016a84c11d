#include "main/cmdline.h"

#include <gtest/gtest.h>

using marlet::splitCommandLine;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, EmptyLineGivesOnlyIndexZero) {
    EXPECT_EQ(splitCommandLine(""), Args{""});
}

TEST(SplitCommandLine, SeparatorsKeepTheirSwitchCharacter) {
    EXPECT_EQ(splitCommandLine("/install /options"), (Args{"", "/install", "/options"}));
    EXPECT_EQ(splitCommandLine("/a -b \\c"), (Args{"", "/a", "-b", "\\c"}));
    EXPECT_EQ(splitCommandLine("/a\t/b"), (Args{"", "/a", "/b"}));
}

TEST(SplitCommandLine, OtherBlanksStayInTheirArgument) {
    // a TAB before "-" or "\" does not separate; nor does "/" without a blank
    EXPECT_EQ(splitCommandLine("/a\t-b\t\\c"), (Args{"", "/a\t-b\t\\c"}));
    EXPECT_EQ(splitCommandLine("/options/install"), (Args{"", "/options/install"}));
    // all but the last of several blanks, and a blank at the end
    EXPECT_EQ(splitCommandLine("/retrieve  /retrieve "), (Args{"", "/retrieve ", "/retrieve "}));
    EXPECT_EQ(splitCommandLine("two words /x"), (Args{"", "two words", "/x"}));
    EXPECT_EQ(splitCommandLine("/a \t/b"), (Args{"", "/a ", "/b"}));
}

TEST(SplitCommandLine, TextBeforeTheFirstSeparatorIsAnArgument) {
    EXPECT_EQ(splitCommandLine("x/retrieve"), (Args{"", "x/retrieve"}));
    EXPECT_EQ(splitCommandLine("-Embedding"), (Args{"", "-Embedding"}));
    EXPECT_EQ(splitCommandLine(" /a"), (Args{"", "/a"}));
    EXPECT_EQ(splitCommandLine("  /a"), (Args{"", " ", "/a"}));
}

TEST(SplitCommandLine, StopsWhenAnArgumentBeyondTheLimitWouldBegin) {
    std::string line;
    for (int i = 1; i <= 12; i++) line += " /s" + std::to_string(i);
    Args args = splitCommandLine(line);
    ASSERT_EQ(args.size(), 11u);
    EXPECT_EQ(args[10], "/s10");
    EXPECT_EQ(splitCommandLine("/a /b /c", 2), (Args{"", "/a", "/b"}));
    EXPECT_EQ(splitCommandLine("/a", 0), Args{""});
}

// Joined back, the arguments account for every character except the dropped
// separator blanks.
TEST(SplitCommandLine, KeepsEveryCharacterButTheSeparatorBlanks) {
    const std::string line = "a b\t/c  -d \\e\t-f /g/h  ";
    std::string joined;
    for (const std::string& a : splitCommandLine(line, 100)) joined += a;
    std::string expected;
    for (size_t i = 0; i < line.size(); i++) {
        char n = i + 1 < line.size() ? line[i + 1] : 0;
        bool sep = (line[i] == ' ' && (n == '/' || n == '-' || n == '\\')) || (line[i] == '\t' && n == '/');
        if (!sep) expected += line[i];
    }
    EXPECT_EQ(joined, expected);
}

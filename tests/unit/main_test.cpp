// Main: the command line, the switches, the options file around them, and the
// box that ends the process.
#include "main/main.h"

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/log.h"
#include "events/event_queue.h"
#include "main/cmdline.h"
#include "platform/fake/fake_platform.h"
#include "ui/options_form.h"

using namespace marlet;
using Args = std::vector<std::string>;

namespace {

const std::string kIni = "C:\\Marlet\\dxqb.ini";
const std::string kDorvex = "C:\\Dx\\Dorvex.exe";
const std::string kDefaults = "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n";

struct MainTest : ::testing::Test {
    fake::World& w = fake::install();
    MainTest() {
        w.files[kIni] = kDefaults;
        w.programs.insert(kDorvex);
    }
    size_t runMain(const std::string& commandLine) {
        w.commandLine = commandLine;
        Main();
        return w.started.size();
    }
};

}  // namespace

TEST(SplitCommandLine, Examples) {
    struct Row {
        const char* text;
        int maxArgs;
        Args args;
    };
    const Row rows[] = {
        {"", 10, {""}},
        {"/install /options", 10, {"", "/install", "/options"}},
        {"/a -b \\c", 10, {"", "/a", "-b", "\\c"}},
        {"/a\t/b", 10, {"", "/a", "/b"}},
        {"/a\t-b\t\\c", 10, {"", "/a\t-b\t\\c"}},  // a TAB separates only before "/"
        {"/options/install", 10, {"", "/options/install"}},
        {"/retrieve  /retrieve ", 10, {"", "/retrieve ", "/retrieve "}},
        {"two words /x", 10, {"", "two words", "/x"}},
        {"/a \t/b", 10, {"", "/a ", "/b"}},
        {"x/retrieve", 10, {"", "x/retrieve"}},
        {"-Embedding", 10, {"", "-Embedding"}},
        {" /a", 10, {"", "/a"}},
        {"  /a", 10, {"", " ", "/a"}},
        {"/a /b /c", 2, {"", "/a", "/b"}},
        {"/a", 0, {""}},
        {"/a", -3, {""}},
    };
    for (const Row& r : rows) EXPECT_EQ(splitCommandLine(r.text, r.maxArgs), r.args) << r.text;
}

// COM's and the installers' switches: a whole argument, either prefix, any case.
TEST(ServerSwitch, WholeArgumentOnly) {
    const std::pair<const char*, bool> rows[] = {
        {"-Embedding", true},      {"/embedding", true},     {"/REGSERVER", false},
        {"\"-Embedding\"", true},  {"-Embedding ", true},    {"-Embeddingx", false},
        {"x -Embedding", true},    {"Embedding", false},     {"--Embedding", false},
        {"/unembedding", false},   {"-Embed", false},
    };
    for (const auto& [line, found] : rows)
        EXPECT_EQ(hasServerSwitch(splitCommandLine(line), "embedding"), found) << line;
    EXPECT_FALSE(hasServerSwitch(splitCommandLine("/unregserver"), "regserver"));
    EXPECT_TRUE(hasServerSwitch(splitCommandLine("/quiet /unregserver"), "unregserver"));
}

TEST_F(MainTest, RetrieveSwitchMatching) {
    EXPECT_EQ(runMain("/retrieve"), 1u);
    EXPECT_EQ(w.started[0].commandLine, "C:\\Dx\\Dorvex.exe /c:\"C:\\Cfg\\qbretrieve.dxc\"");
    w.started.clear();
    EXPECT_EQ(runMain("/Retrieve"), 0u);
    EXPECT_EQ(runMain("/retrieveX"), 1u);
    EXPECT_EQ(runMain("x/retrieve"), 2u);
    EXPECT_EQ(runMain("/retrieve /retrieve"), 4u);
    EXPECT_EQ(runMain("/retrieve  /retrieve"), 6u);
    EXPECT_EQ(runMain("/retrieve\t-retrieve \\retrieve"), 7u);
    std::string twelve;
    for (int i = 0; i < 12; i++) twelve += " /retrieve";
    EXPECT_EQ(runMain(twelve), 17u);  // only ten arguments are handled
}

TEST_F(MainTest, OptionsAreReadAndWrittenBack) {
    w.files[kIni] = "TRUE\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\n";
    runMain("");
    EXPECT_EQ(w.files[kIni], "True\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n");
    EXPECT_TRUE(w.boxes.empty());
}

// Started by COM, a failed save's box waits until the class objects are there.
TEST_F(MainTest, StartedByComASaveFailureIsShownAfterwards) {
    w.files[kIni] = "TRUE\r\n";  // written back as "True", nowhere
    w.writeFailures[kIni] = w.writeFailures["C:\\Users\\ann\\AppData\\Local\\Marlet"] = fake::accessDenied();
    w.commandLine = "-Embedding";
    Main(true);
    EXPECT_TRUE(w.boxes.empty());
    menuEvents().runWaiting();
    EXPECT_EQ(w.boxes.size(), 1u);
    Main(false);  // from the command line: at once
    EXPECT_EQ(w.boxes.size(), 2u);
}

TEST_F(MainTest, OptionsSwitchShowsAFreshDialogEachTimeAndItsChangesAreWritten) {
    w.files[kIni] = "True\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n";
    std::vector<bool> shownTwain;
    w.onShowOptions = [&](OptionsForm& form) {
        EXPECT_EQ(form.appGuid, "{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}");
        shownTwain.push_back(form.ckDisplayTwain);
        form.ckDisplayTwain = false;
        form.onOk();
    };
    runMain("/options /options");
    EXPECT_EQ(shownTwain, (std::vector<bool>{true, false}));
    EXPECT_EQ(w.files[kIni], kDefaults);
}

TEST_F(MainTest, MissingDorvexEndsTheProcessWithoutWritingOptions) {
    const std::string before = "true\r\nC:\\Nowhere\\\r\nC:\\Cfg\\\r\n";
    w.files[kIni] = before;
    w.commandLine = "/retrieve /retrieve";
    EXPECT_THROW(Main(), fake::ProcessEnded);
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].text, "53: File not found");
    EXPECT_EQ(w.boxes[0].title, "Marlet");
    EXPECT_EQ(w.files[kIni], before);
    EXPECT_EQ(w.log.back(), "endProcess");
    EXPECT_NE(w.files[logFilePath()].find("error: 53: File not found"), std::string::npos);
}

TEST_F(MainTest, UnregisteredClassGivesTheDorvexNotInstalledBox) {
    for (int32_t number : {-2147221005, -2147024770}) {
        EXPECT_THROW(reportFatalError(number, "Invalid class string"), fake::ProcessEnded);
        EXPECT_EQ(w.boxes.back().title, "Marlet Error");
        EXPECT_EQ(w.boxes.back().text,
                  "An error has occured.  This most likely cause of this error is that Dorvex "
                  "is not installed.\r\nPlease install Dorvex from https://www.dorvex.com before proceeding.");
    }
}

#include "app/app.h"
#include "main/main.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

using namespace marlet;

namespace {

const std::string kIni = "C:\\Marlet\\dxqb.ini";
const std::string kDorvex = "C:\\Dx\\Dorvex.exe";

struct MainTest : ::testing::Test {
    fake::World& w = fake::install();
    MainTest() {
        w.files[kIni] = "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n";
        w.programs.insert(kDorvex);
    }
    size_t runMain(const std::string& commandLine) {
        w.commandLine = commandLine;
        Main();
        return w.started.size();
    }
};

}  // namespace

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
}

TEST_F(MainTest, OnlyTenArgumentsAreHandled) {
    std::string line;
    for (int i = 0; i < 12; i++) line += " /retrieve";
    EXPECT_EQ(runMain(line), 10u);
}

TEST_F(MainTest, OptionsAreReadAndWrittenBack) {
    w.files[kIni] = "TRUE\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\n";
    runMain("");
    EXPECT_EQ(w.files[kIni], "True\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n");
    EXPECT_TRUE(w.boxes.empty());
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
}

TEST_F(MainTest, UnregisteredClassGivesTheDorvexNotInstalledBox) {
    try {
        reportFatalError(-2147221005, "Invalid class string");
    } catch (const fake::ProcessEnded&) {
    }
    try {
        reportFatalError(-2147024770, "The specified module could not be found.");
    } catch (const fake::ProcessEnded&) {
    }
    ASSERT_EQ(w.boxes.size(), 2u);
    for (const fake::Box& b : w.boxes) {
        EXPECT_EQ(b.title, "Marlet Error");
        EXPECT_EQ(b.text,
                  std::string("An error has occured.  This most likely cause of this error is that Dorvex "
                              "is not installed.\r\nPlease install Dorvex from ") +
                      kDorvexVendorUrl + " before proceeding.");
    }
}

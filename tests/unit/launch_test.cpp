#include "events/launch.h"

#include <gtest/gtest.h>

#include "app/app.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"

using namespace marlet;

namespace {

struct LaunchTest : ::testing::Test {
    fake::World& w = fake::install();
    LaunchTest() {
        gOptions = std::make_unique<cmOptions>();
        gOptions->dxPath = "C:\\Program Files\\Dx\\";
        gOptions->configPath = "C:\\Cfg\\";
        w.programs.insert("C:\\Program Files\\Dx\\Dorvex.exe");
    }
};

}  // namespace

TEST_F(LaunchTest, CommandLinesCarryTheValuesVerbatim) {
    const std::string dx = "C:\\Program Files\\Dx\\Dorvex.exe /c:\"C:\\Cfg\\";
    gOptions->displayTwain = true;
    EXPECT_EQ(scanCommandLine(*gOptions, {"Acme", "", "R1", "m"}), dx + "qbscan_no_txn.dxc\" /1:\"Acme\" /4:\"m\" /s");
    gOptions->displayDorvex = true;
    EXPECT_EQ(scanCommandLine(*gOptions, {"Acme", "Invoice", "1001", ""}),
              dx + "qbscan.dxc\" /1:\"Acme\" /2:\"Invoice\" /3:\"1001\" /4:\"\" /s /m");
    gOptions->displayTwain = false;
    EXPECT_EQ(scanCommandLine(*gOptions, {" Name ", "Bill", "", ""}), dx + "qbscan.dxc\" /1:\" Name \" /2:\"Bill\" /3:\"\" /4:\"\" /m");
    EXPECT_EQ(retrieveCommandLine(*gOptions, {"Acme", "", "", ""}), dx + "qbretrieve.dxc\" /1:\"Acme\"");
    EXPECT_EQ(retrieveCommandLine(*gOptions, {}), dx + "qbretrieve.dxc\"");
    EXPECT_EQ(retrieveCommandLine(*gOptions, {"", "", "", "a \"quoted\" memo"}), dx + "qbretrieve.dxc\" /4:\"a \"quoted\" memo\"");
    gOptions->dxPath = "";
    gOptions->configPath = "";
    EXPECT_EQ(retrieveCommandLine(*gOptions, {"", "Check", "7", ""}), "Dorvex.exe /c:\"qbretrieve.dxc\" /2:\"Check\" /3:\"7\"");
}

TEST_F(LaunchTest, StartsTheNamedProgramWithTheComposedLine) {
    launchRetrieve(*gOptions, {});
    ASSERT_EQ(w.started.size(), 1u);
    EXPECT_EQ(w.started[0].program, "C:\\Program Files\\Dx\\Dorvex.exe");
    EXPECT_EQ(w.started[0].commandLine, retrieveCommandLine(*gOptions, {}));
    EXPECT_EQ(w.started[0].windowState, WindowState::NormalFocus);
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_EQ(w.clipboardWrites, 0);
}

TEST_F(LaunchTest, DebugModePutsTheLineOnTheClipboardBeforeTheBox) {
    gOptions->debugMode = true;
    launchScan(*gOptions, {"Acme", "", "", ""});
    std::string line = scanCommandLine(*gOptions, {"Acme", "", "", ""});
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].title, "Marlet");
    EXPECT_EQ(w.boxes[0].style, BoxStyle::OkOnly);
    EXPECT_EQ(w.boxes[0].text,
              "The command line below has been place on the clipboard and will be executed when you "
              "click 'OK': \r\n\r\n" + line);
    EXPECT_EQ(w.clipboardAtLastBox, line);
    EXPECT_EQ(w.started.size(), 1u);
}

TEST_F(LaunchTest, FailuresReachTheCallerAndNothingStarts) {
    gOptions->dxPath = "C:\\Nowhere\\";
    try {
        launchRetrieve(*gOptions, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 53);
        EXPECT_EQ(e.description(), "File not found");
    }
    gOptions->dxPath = "C:\\Program Files\\Dx\\";
    gOptions->debugMode = true;
    w.clipboardLocked = true;
    EXPECT_THROW(launchRetrieve(*gOptions, {}), Error);
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_TRUE(w.started.empty());
}

TEST_F(LaunchTest, EmptyDxPathSearchesTheSystemPath) {
    gOptions->dxPath = "";
    w.programs.insert("PATH\\Dorvex.exe");
    launchRetrieve(*gOptions, {});
    ASSERT_EQ(w.started.size(), 1u);
    EXPECT_EQ(w.started[0].program, "Dorvex.exe");
}

// Runs nobody watches (/quiet) and the log support reads afterwards.
#include <gtest/gtest.h>

#include "app/app.h"
#include "app/log.h"
#include "events/event_queue.h"
#include "events/qb_menu_listener.h"
#include "platform/fake/fake_platform.h"
#include "standin_processor.h"

using namespace marlet;
using namespace marlet::testing;

namespace {

const std::string kLog = "C:\\Users\\ann\\AppData\\Local\\Marlet\\marlet.log";

struct QuietLogTest : ::testing::Test {
    fake::World& w = fake::install();
    std::shared_ptr<qbrp::Company> company = marlet::testing::serveStandIn(w);
    QuietLogTest() {
        w.files[kIni] = kSettingsText;
        w.programs.insert("C:\\Dx\\Dorvex.exe");
    }
    std::string log() const { return w.files.count(kLog) ? w.files.at(kLog) : ""; }
    bool logged(const std::string& text) const { return log().find(text) != std::string::npos; }
};

}  // namespace

// Each way a quiet menu switch can end: no box shown, the outcome in the log and
// in the exit code, and a time bound set.
TEST_F(QuietLogTest, QuietMenuSwitchesTellByExitCodeAndLogOnly) {
    struct Row {
        const char* commandLine;
        const char* fault;         // of the request processor; "" none, "-" not registered
        std::optional<int> statusCode;
        int exitCode;
        const char* inLog;
    } rows[] = {
        {"/install /quiet", "", std::nullopt, kExitOk, "Menu Added: Successfully added"},
        {"/install /quiet", "", 3180, kExitMenuRefused, "Error Adding Menu: Could not add"},
        {"/install /quiet", "qbNotRunning", std::nullopt, kExitMenuFailed, "Encountered error subscribing: Could not start QuickBooks."},
        {"/install /quiet", "-", std::nullopt, kExitMenuFailed, "QBXMLRP2.RequestProcessor: 0x800401F3 (-2147221005): Invalid class string"},
        {"/install /uninstall /quiet", "", std::nullopt, kExitOk, "Menu Removed: Successfully removed"},
        {"/uninstall/quiet", "", 1, kExitMenuRefused, "Error Removing Menu"},
        {"/uninstall /quiet", "-", std::nullopt, kExitFailed, "Marlet Error: An error has occured."},
        {"/uninstall /quiet", "qbNotRunning", std::nullopt, kExitFailed, "Marlet: -2147220472: Could not start QuickBooks."},
        {"/options /quiet", "", std::nullopt, kExitNeedsPerson, "a quiet run does not open it"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.commandLine) + " fault " + row.fault);
        fake::World& fresh = fake::install();
        company = marlet::testing::serveStandIn(fresh);
        fresh.files[kIni] = kSettingsText;
        if (std::string(row.fault) == "-") fresh.classes.clear();
        else company->config.fault = row.fault;
        company->config.subscriptionStatusCode = row.statusCode;
        EXPECT_EQ(runMain(w, row.commandLine), row.exitCode);
        EXPECT_TRUE(fresh.boxes.empty());
        EXPECT_EQ(fresh.optionsDialogsShown, 0);
        EXPECT_EQ(fresh.watchdogSeconds, kQuietTimeLimitSeconds);
        EXPECT_TRUE(logged(row.inLog)) << log();
        EXPECT_TRUE(logged("box not shown (quiet)") || row.exitCode == kExitNeedsPerson) << log();
    }
}

// Quiet: neither kind of box is shown; each takes Cancel (OK where it offers
// none) and the log tells it. Shown, an input box's answer stays out of the log.
TEST_F(QuietLogTest, QuietBoxesAreAnsweredNotShown) {
    enableLog(true);
    w.inputAnswers.push_back("Ann's memo");
    EXPECT_EQ(inputBox("Please enter a memo", "Memo"), "Ann's memo");
    EXPECT_TRUE(logged("input box: Memo -> a text typed") && !logged("Ann's")) << log();
    w.inputs.clear();
    setQuietMode(true);
    w.inputAnswers.push_back("typed");
    EXPECT_EQ(inputBox("Please enter a memo", "Memo"), "");
    EXPECT_EQ(msgBox("Go on?", BoxStyle::OkCancel | BoxStyle::Exclamation), BoxAnswer::Cancel);
    EXPECT_EQ(msgBox("Done.", BoxStyle::Exclamation), BoxAnswer::Ok);
    EXPECT_TRUE(w.inputs.empty());
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_TRUE(logged("input box not shown (quiet), taken as Cancel: Memo")) << log();
    EXPECT_TRUE(logged("box not shown (quiet), taken as Cancel: Marlet: Go on?")) << log();
}

TEST_F(QuietLogTest, AQuietRunThatHangsEndsItselfAndSaysSo) {
    runMain(w, "/install /quiet");
    ASSERT_NE(w.onTimeout, nullptr);
    EXPECT_THROW(w.onTimeout(), fake::ProcessEnded);
    EXPECT_EQ(w.exitCode, kExitTimedOut);
    EXPECT_TRUE(logged("quiet run: no end after 120 seconds, ended"));
}

TEST_F(QuietLogTest, WithoutQuietTheBoxesShowAndAreLoggedWithTheirAnswer) {
    company->config.subscriptionStatusCode = 1;
    EXPECT_EQ(runMain(w, "/install"), kExitMenuRefused);
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.watchdogSeconds, 0);
    EXPECT_TRUE(logged("box: Error Adding Menu: Could not add to QuickBooks menu:  |  | It's possible")) << log();
    EXPECT_TRUE(logged(" -> OK"));
}

TEST_F(QuietLogTest, APlainStartLeavesNoLog) {
    EXPECT_EQ(runMain(w, ""), kExitOk);
    EXPECT_EQ(w.files.count(kLog), 0u);
}

// One scan on an invoice, end to end: how the process started, the event, each
// step with QuickBooks and its answer, and what Dorvex was started with.
TEST_F(QuietLogTest, TheLogFollowsAScanFromEventToDorvex) {
    runMain(w, "-Embedding");
    QBMenuListener().inform(
        "<?xml version=\"1.0\" ?><?qbxml version=\"4.0\"?><QBXML><QBXMLEvents><UIExtensionEvent>"
        "<EventTag>scan</EventTag><CurrentWindow><TxnType>Invoice</TxnType><TxnID>1A-1165000101</TxnID>"
        "</CurrentWindow></UIExtensionEvent></QBXMLEvents></QBXML>");
    menuEvents().runWaiting();
    ASSERT_EQ(w.started.size(), 1u);
    const char* expected[] = {
        "2007-03-09 14:05:07 [4242] started: -Embedding\r\n",
        "settings read from C:\\Marlet\\dxqb.ini",
        "done, exit code 0",
        "menu event \"scan\", open window: transaction Invoice 1A-1165000101",
        "QuickBooks OpenConnection2: done",
        "QuickBooks answer TransactionQueryRs: statusCode 0, statusSeverity Info, statusMessage Status OK",
        "QuickBooks CloseConnection: done",
        "starting C:\\Dx\\Dorvex.exe with: ",
    };
    size_t at = 0;
    for (const char* line : expected) {
        size_t found = log().find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "\n" << log();
        if (found != std::string::npos) at = found;
    }
    EXPECT_TRUE(logged(w.started[0].commandLine));
}

TEST_F(QuietLogTest, ALogThatCannotBeWrittenChangesNothingTheUserSees) {
    auto runOnce = [this](bool writable) {
        fake::World& fresh = fake::install();
        marlet::testing::serveStandIn(fresh)->config.subscriptionStatusCode = 1;
        fresh.files[kIni] = kSettingsText;
        if (!writable) fresh.writeFailures["C:\\Users\\ann\\AppData\\Local\\Marlet"] = fake::accessDenied();
        int code = runMain(w, "/install /retrieve");
        std::vector<std::string> seen;
        for (const fake::Box& b : fresh.boxes) seen.push_back(b.title + b.text);
        seen.push_back(std::to_string(code) + " " + std::to_string(fresh.started.size()));
        return seen;
    };
    EXPECT_EQ(runOnce(false), runOnce(true));
}

TEST_F(QuietLogTest, AFullLogMovesToTheOldFileAndTheFolderIsMadeWhenMissing) {
    enableLog(true);
    logLine("first");
    EXPECT_TRUE(w.folders.count("C:\\Users\\ann\\AppData\\Local\\Marlet"));
    w.files[kLog] = std::string(1024 * 1024 - 10, 'x');
    logLine("two lines\r\nin one");
    EXPECT_EQ(w.files[kLog + ".1"].size(), 1024u * 1024 - 10);
    EXPECT_EQ(w.files[kLog], "2007-03-09 14:05:07 [4242] two lines | in one\r\n");
    w.localAppData = "";
    logLine("nowhere to go");
}

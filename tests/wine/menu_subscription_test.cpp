// /install and /uninstall against the request-processor stand-in: the exact
// requests, the outcome boxes, when the connection is closed, and what a
// failure does to the rest of the command line.
#include <gtest/gtest.h>

#include "qb_standin.h"
#include "sandbox.h"

using namespace bench;

namespace {

const std::string kGuid = "{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}";
const std::string kAddHint = "\r\n\r\nIt's possible the Dorvex menu is already installed in QuickBooks.";
const std::string kRemoveHint =
    "\r\n\r\nIt is possible that the Dorvex menu has already been removed from QuickBooks.";

std::string menuItem(const char* text, const char* tag) {
    return std::string("            <MenuItem>\n              <MenuText>") + text +
           "</MenuText>\n              <EventTag>" + tag + "</EventTag>\n            </MenuItem>\n";
}

const std::string kAddRequest =
    "<?xml version=\"1.0\" ?>\n<?qbxml version=\"4.0\"?>\n<QBXML>\n  <QBXMLSubscriptionMsgsRq>\n"
    "    <UIExtensionSubscriptionAddRq>\n      <UIExtensionSubscriptionAdd>\n"
    "        <SubscriberID>" + kGuid + "</SubscriberID>\n"
    "        <COMCallbackInfo>\n          <AppName>Marlet</AppName>\n"
    "          <ProgID>Marlet.QBMenuListener</ProgID>\n        </COMCallbackInfo>\n"
    "        <MenuExtensionSubscription>\n          <AddToMenu>File</AddToMenu>\n          <Submenu>\n" +
    menuItem("Scan Documents", "scan") + menuItem("Retrieve Documents", "retrieve") +
    menuItem("Options", "options") + menuItem("Manual", "manual") +
    "          </Submenu>\n        </MenuExtensionSubscription>\n      </UIExtensionSubscriptionAdd>\n"
    "    </UIExtensionSubscriptionAddRq>\n  </QBXMLSubscriptionMsgsRq>\n</QBXML>\n";

const std::string kDelRequest =
    "<?xml version=\"1.0\" ?>\n<?qbxml version=\"4.0\"?>\n<QBXML>\n  <QBXMLSubscriptionMsgsRq>\n"
    "    <SubscriptionDelRq>\n      <SubscriberID>" + kGuid + "</SubscriberID>\n"
    "      <SubscriptionType>UIExtension</SubscriptionType>\n    </SubscriptionDelRq>\n"
    "  </QBXMLSubscriptionMsgsRq>\n</QBXML>\n";

const std::vector<std::string> kExchange = {"OpenConnection", "ProcessSubscription",
                                            "CloseConnection", "Release"};

struct MenuTest : ::testing::Test {
    Sandbox box;
    QuickBooks qb{box};
    MenuTest() {
        EXPECT_TRUE(qb.registered());
        box.installDorvex();
        box.writeIni(box.iniFor(L"Dx"));
    }
    // Runs marlet.exe; at each box records the calls QuickBooks had seen so far.
    RunResult run(const std::wstring& arguments, std::vector<std::vector<std::string>>* seen = nullptr) {
        return box.runMarlet(arguments, [&](const Dialog& d) {
            if (seen) seen->push_back(qb.calls());
            pressFirstButton(d);
        });
    }
    static void expectPlainBox(const Dialog& d, const std::string& title, const std::string& text) {
        EXPECT_EQ(d.title, title);
        EXPECT_EQ(d.text, text);
        EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
        EXPECT_EQ(d.icon, Icon::None);
    }
};

}  // namespace

TEST_F(MenuTest, InstallSendsTheAddAndClosesAfterTheBox) {
    std::vector<std::vector<std::string>> seen;
    RunResult r = run(L"/install", &seen);
    EXPECT_EQ(r.exitCode, 0u);
    ASSERT_EQ(r.dialogs.size(), 1u);
    expectPlainBox(r.dialogs[0], "Menu Added",
                   "Successfully added Dorvex access to QuickBooks File menu, restart QuickBooks to "
                   "see results.");
    EXPECT_EQ(seen[0], (std::vector<std::string>{"OpenConnection", "ProcessSubscription"}));
    std::vector<qbrp::LogEntry> log = qb.log();
    ASSERT_EQ(qb.calls(), kExchange);
    EXPECT_EQ(log[0].args, (std::vector<std::string>{"", "Marlet"}));
    EXPECT_EQ(log[1].request, kAddRequest);
    EXPECT_EQ(log[3].args[0], "closed");

    std::vector<qbrp::MenuSubscription> menus = qb.menus();
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].subscriberID, kGuid);
    EXPECT_EQ(menus[0].progID, "Marlet.QBMenuListener");
    EXPECT_EQ(menus[0].addToMenu, "File");
    ASSERT_EQ(menus[0].entries.size(), 4u);
    EXPECT_EQ(menus[0].entries[0].menuText, "Scan Documents");
    EXPECT_EQ(menus[0].entries[3].eventTag, "manual");
}

TEST_F(MenuTest, InstallTwiceIsRefusedTheSecondTime) {
    RunResult r = run(L"/install /install");
    ASSERT_EQ(r.dialogs.size(), 2u);
    EXPECT_EQ(r.dialogs[0].title, "Menu Added");
    expectPlainBox(r.dialogs[1], "Error Adding Menu",
                   "Could not add to QuickBooks menu: A UI extension subscription for subscriber " +
                       kGuid + " already exists." + kAddHint);
    std::vector<qbrp::LogEntry> log = qb.log();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[5].request, kAddRequest);  // sent like the first
    EXPECT_EQ(log[7].args[0], "closed");
}

TEST_F(MenuTest, AWarningWithoutAMessageIsAFailure) {
    qb.configure("subscriptionStatusCode = 530\nsubscriptionStatusSeverity = Warn\n");
    RunResult r = run(L"/install /uninstall");
    ASSERT_EQ(r.dialogs.size(), 2u);
    expectPlainBox(r.dialogs[0], "Error Adding Menu", "Could not add to QuickBooks menu: " + kAddHint);
    expectPlainBox(r.dialogs[1], "Error Removing Menu",
                   "Could not remove from QuickBooks menu: " + kRemoveHint);
    EXPECT_EQ(r.exitCode, 0u);
}

TEST_F(MenuTest, AnAddFailureClosesBeforeTheBoxAndTheLineGoesOn) {
    qb.configure("fault = requestFails\n");
    std::vector<std::vector<std::string>> seen;
    RunResult r = run(L"/install /retrieve", &seen);
    ASSERT_EQ(r.dialogs.size(), 1u);
    std::vector<qbrp::LogEntry> log = qb.log();
    ASSERT_GE(log.size(), 2u);
    expectPlainBox(r.dialogs[0], "Marlet", "Encountered error subscribing: " + log[1].error);
    EXPECT_EQ(seen[0], (std::vector<std::string>{"OpenConnection", "ProcessSubscription",
                                                 "CloseConnection"}));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(waitForLaunches(box, 1).size(), 1u);  // /retrieve still ran
    EXPECT_TRUE(qb.menus().empty());
}

TEST_F(MenuTest, UninstallRemovesAndClosesAfterTheBox) {
    run(L"/install");
    std::vector<std::vector<std::string>> seen;
    RunResult r = run(L"/uninstall", &seen);
    ASSERT_EQ(r.dialogs.size(), 1u);
    expectPlainBox(r.dialogs[0], "Menu Removed",
                   "Successfully removed Dorvex access from QuickBooks File menu, restart QuickBooks "
                   "to see results.");
    std::vector<qbrp::LogEntry> log = qb.log();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[4].args, (std::vector<std::string>{"", "Marlet"}));
    EXPECT_EQ(log[5].request, kDelRequest);
    EXPECT_EQ(log[6].call, "CloseConnection");
    EXPECT_EQ(seen[0].size(), 6u);  // the close came after the box
    EXPECT_TRUE(qb.menus().empty());

    r = run(L"/uninstall");  // nothing left: sent all the same, refusal shown
    ASSERT_EQ(r.dialogs.size(), 1u);
    expectPlainBox(r.dialogs[0], "Error Removing Menu",
                   "Could not remove from QuickBooks menu: There is no UIExtension subscription for "
                   "subscriber " + kGuid + "." + kRemoveHint);
}

TEST_F(MenuTest, InstallThenUninstallInOneArgument) {
    RunResult r = run(L"/install/uninstall");
    ASSERT_EQ(r.dialogs.size(), 2u);
    EXPECT_EQ(r.dialogs[0].title, "Menu Added");
    EXPECT_EQ(r.dialogs[1].title, "Menu Removed");
    EXPECT_TRUE(qb.menus().empty());
}

TEST_F(MenuTest, QuickBooksUnreachable) {
    qb.configure("fault = qbNotRunning\n");
    RunResult r = run(L"/install /retrieve");  // /install tells and goes on
    ASSERT_EQ(r.dialogs.size(), 1u);
    expectPlainBox(r.dialogs[0], "Marlet", "Encountered error subscribing: Could not start QuickBooks.");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(waitForLaunches(box, 1).size(), 1u);
    EXPECT_EQ(qb.calls(), (std::vector<std::string>{"OpenConnection", "Release"}));

    const std::string ini = box.readIni();
    r = run(L"/uninstall /retrieve");  // /uninstall ends through Main's handler
    ASSERT_EQ(r.dialogs.size(), 1u);
    expectPlainBox(r.dialogs[0], "Marlet", "-2147220472: Could not start QuickBooks.");
    EXPECT_NE(r.exitCode, 0u);
    Sleep(300);
    EXPECT_EQ(box.launches().size(), 1u);  // no second retrieval
    EXPECT_EQ(box.readIni(), ini);
}

TEST(MenuWithoutQuickBooks, NoRequestProcessorRegistered) {
    Sandbox box;
    { QuickBooks gone(box); }  // registered and unregistered again: as on a machine without the SDK
    RunResult r = box.runMarlet(L"/install");
    ASSERT_EQ(r.dialogs.size(), 1u);
    EXPECT_EQ(r.dialogs[0].title, "Marlet");
    EXPECT_EQ(r.dialogs[0].text.rfind("Encountered error subscribing: ", 0), 0u) << r.dialogs[0].text;
    EXPECT_EQ(r.exitCode, 0u);
}

// The switches run in the order given: each finishes before the next begins.
TEST_F(MenuTest, InstallAndOptionsInEitherOrder) {
    std::vector<std::string> titles;
    std::vector<std::vector<std::string>> seen;
    auto answer = [&](const Dialog& d) {
        titles.push_back(d.title);
        seen.push_back(qb.calls());
        if (d.title == "Options")
            pressButton(d.hwnd, "Cancel");
        else
            pressFirstButton(d);
    };
    RunResult r = box.runMarlet(L"/install /options", answer);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(titles, (std::vector<std::string>{"Menu Added", "Options"}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], kExchange);  // closed and released before the dialog

    titles.clear();
    seen.clear();
    r = box.runMarlet(L"/options /install", answer);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(titles, (std::vector<std::string>{"Options", "Error Adding Menu"}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].size(), kExchange.size());  // nothing asked of QuickBooks while the dialog was up
}

#include <gtest/gtest.h>

#include "app/app.h"
#include "commands/menu_commands.h"
#include "commands/options_commands.h"
#include "platform/fake/fake_platform.h"
#include "standin_processor.h"

using namespace marlet;
using marlet::testing::calls;
using marlet::testing::outline;

namespace {

const std::string kAddHint = "\r\n\r\nIt's possible the Dorvex menu is already installed in QuickBooks.";
const std::string kRemoveHint =
    "\r\n\r\nIt is possible that the Dorvex menu has already been removed from QuickBooks.";

const char kAddRequest[] =
    "QBXML(QBXMLSubscriptionMsgsRq(UIExtensionSubscriptionAddRq(UIExtensionSubscriptionAdd("
    "SubscriberID={7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139} COMCallbackInfo(AppName=Marlet "
    "ProgID=Marlet.QBMenuListener) MenuExtensionSubscription(AddToMenu=File Submenu("
    "MenuItem(MenuText=Scan Documents EventTag=scan) MenuItem(MenuText=Retrieve Documents EventTag=retrieve) "
    "MenuItem(MenuText=Options EventTag=options) MenuItem(MenuText=Manual EventTag=manual)))))))";

const char kDelRequest[] =
    "QBXML(QBXMLSubscriptionMsgsRq(SubscriptionDelRq(SubscriberID={7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139} "
    "SubscriptionType=UIExtension)))";

const std::vector<std::string> kExchange = {"OpenConnection", "ProcessSubscription",
                                            "CloseConnection", "Release"};

struct MenuTest : ::testing::Test {
    fake::World& w = fake::install();
    std::shared_ptr<qbrp::Company> company = marlet::testing::serveStandIn(w);
    OptionsForm form{kOptionsMenuButtons};
    MenuTest() {
        loadOptions();
        form.load();
    }
    fake::Box onlyBox() {
        EXPECT_EQ(w.boxes.size(), 1u);
        fake::Box b = w.boxes.empty() ? fake::Box{} : w.boxes[0];
        w.boxes.clear();
        return b;
    }
    size_t storedMenus() {
        return qbrp::menuSubscriptions(company->subscriptions()).size();
    }
};

}  // namespace

TEST_F(MenuTest, AddSendsTheOneRequestAndClosesAfterTheBox) {
    form.onAddMenu();
    fake::Box b = onlyBox();
    EXPECT_EQ(b.text, "Successfully added Dorvex access to QuickBooks File menu, restart QuickBooks to see results.");
    EXPECT_EQ(b.title, "Menu Added");
    EXPECT_EQ(b.style, BoxStyle::OkOnly);
    EXPECT_EQ(calls(*company), kExchange);
    EXPECT_EQ(company->log[0].args, (std::vector<std::string>{"", "Marlet"}));
    EXPECT_EQ(outline(company->log[1].request), kAddRequest);
    EXPECT_EQ(w.log, (std::vector<std::string>{"createObject QBXMLRP2.RequestProcessor",
                                               "rp OpenConnection", "rp ProcessSubscription",
                                               "msgBox Menu Added", "rp CloseConnection"}));
    EXPECT_EQ(storedMenus(), 1u);
}

TEST_F(MenuTest, AWarningIsAFailureAndQuickBooksMessageIsShownWithTheHint) {
    company->config.subscriptionStatusCode = 1;
    company->config.subscriptionStatusSeverity = "Warn";
    company->config.subscriptionStatusMessage = "Busy.";
    form.onAddMenu();
    fake::Box added = onlyBox();
    EXPECT_EQ(added.title, "Error Adding Menu");
    EXPECT_EQ(added.text, "Could not add to QuickBooks menu: Busy." + kAddHint);
    company->config.subscriptionStatusMessage = "";
    form.onRemoveMenu();
    fake::Box b = onlyBox();
    EXPECT_EQ(b.title, "Error Removing Menu");
    EXPECT_EQ(b.text, "Could not remove from QuickBooks menu: " + kRemoveHint);
    EXPECT_EQ(calls(*company).back(), "Release");
}

TEST_F(MenuTest, AnAddErrorClosesFirstThenTellsAndGoesOn) {
    company->config.fault = "requestFails";
    form.onAddMenu();
    fake::Box b = onlyBox();
    EXPECT_EQ(b.title, "Marlet");
    EXPECT_EQ(b.text, "Encountered error subscribing: " + company->log[1].error);
    EXPECT_EQ(w.log.back(), "msgBox Marlet");
    EXPECT_EQ(w.log[w.log.size() - 2], "rp CloseConnection");
    EXPECT_EQ(storedMenus(), 0u);

    // Nothing was opened: nothing is closed.
    company->config.fault = "qbNotRunning";
    company->log.clear();
    form.onAddMenu();
    EXPECT_EQ(onlyBox().text, "Encountered error subscribing: Could not start QuickBooks.");
    EXPECT_EQ(calls(*company), (std::vector<std::string>{"OpenConnection", "Release"}));
}

TEST_F(MenuTest, RemoveSendsTheDeleteAndClosesAfterTheBox) {
    form.onAddMenu();
    onlyBox();
    company->log.clear();
    w.log.clear();
    form.onRemoveMenu();
    fake::Box b = onlyBox();
    EXPECT_EQ(b.text, "Successfully removed Dorvex access from QuickBooks File menu, restart QuickBooks to see results.");
    EXPECT_EQ(b.title, "Menu Removed");
    EXPECT_EQ(calls(*company), kExchange);
    EXPECT_EQ(company->log[0].args, (std::vector<std::string>{"", "Marlet"}));
    EXPECT_EQ(outline(company->log[1].request), kDelRequest);
    EXPECT_EQ(w.log.back(), "rp CloseConnection");
    EXPECT_EQ(storedMenus(), 0u);
}

TEST_F(MenuTest, ARemoveErrorReachesTheCallerUnclosed) {
    company->config.fault = "requestFails";
    EXPECT_THROW(removeMenu(form.appName, form.appGuid), Error);
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_EQ(calls(*company), (std::vector<std::string>{"OpenConnection", "ProcessSubscription", "Release"}));
    EXPECT_EQ(company->log.back().args[0], "connection open");
}

namespace {

// A processor whose subscription exchange and close both fail.
struct BrokenProcessor : AutoObject {
    Value call(const std::string& member, const std::vector<Value>&) override {
        fake::world().log.push_back("rp " + member);
        if (member == "ProcessSubscription") throw Error(-2147220991, "exchange failed");
        if (member == "CloseConnection") throw Error(-2147220990, "close failed");
        return {};
    }
};

}  // namespace

TEST_F(MenuTest, AFailingCloseOnTheAddErrorPathReachesTheCallerInstead) {
    w.classes["QBXMLRP2.RequestProcessor"] = [] { return std::make_unique<BrokenProcessor>(); };
    try {
        form.onAddMenu();
        FAIL() << "nothing reached the caller";
    } catch (const Error& e) {
        EXPECT_EQ(e.description(), "close failed");
    }
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_EQ(w.log.back(), "rp CloseConnection");
}

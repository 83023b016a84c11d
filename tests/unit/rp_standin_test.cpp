// The request-processor stand-in: strict the way QuickBooks is, and faithful in
// what it stores and logs. Marlet's own requests pass through it in the other tests.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "standins/qbxmlrp2/rp_core.h"

using namespace qbrp;

namespace {

std::string doc(const std::string& body, const std::string& version = "4.0") {
    return "<?xml version=\"1.0\" ?>\n<?qbxml version=\"" + version + "\"?>\n<QBXML>" + body +
           "</QBXML>";
}
std::string data(const std::string& requests, const char* onError = "continueOnError") {
    return doc(std::string("<QBXMLMsgsRq onError=\"") + onError + "\">" + requests + "</QBXMLMsgsRq>");
}
std::string subscription(const std::string& requests, const std::string& version = "4.0") {
    return doc("<QBXMLSubscriptionMsgsRq>" + requests + "</QBXMLSubscriptionMsgsRq>", version);
}

const std::string kGuid = "{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}";

std::string addRq(const std::string& items = "<Submenu><MenuItem><MenuText>A</MenuText>"
                                             "<EventTag>a</EventTag></MenuItem></Submenu>") {
    return "<UIExtensionSubscriptionAddRq><UIExtensionSubscriptionAdd><SubscriberID>" + kGuid +
           "</SubscriberID><COMCallbackInfo><AppName>X</AppName><ProgID>X.Y</ProgID>"
           "</COMCallbackInfo><MenuExtensionSubscription><AddToMenu>File</AddToMenu>" + items +
           "</MenuExtensionSubscription></UIExtensionSubscriptionAdd></UIExtensionSubscriptionAddRq>";
}
const std::string kDelRq = "<SubscriptionDelRq><SubscriberID>" + kGuid +
                           "</SubscriberID><SubscriptionType>UIExtension</SubscriptionType></SubscriptionDelRq>";

struct StandInTest : ::testing::Test {
    std::shared_ptr<Company> company = std::make_shared<Company>();
    RequestProcessor rp{company};
    std::string ticket;
    void session() {
        rp.OpenConnection2("", "T", 3);
        ticket = rp.BeginSession("", 2);
    }
    // The fault's description, or "" when the call succeeded.
    template <class F>
    std::string refusal(F f) {
        try {
            f();
        } catch (const Fault& e) {
            return e.description;
        }
        return "";
    }
    std::string query(const std::string& request) { return rp.ProcessRequest(ticket, request); }
};

}  // namespace

TEST_F(StandInTest, RequestsAgainstTheRulesAreRefused) {
    session();
    const std::pair<const char*, std::string> refused[] = {
        {"wrong order", data("<CustomerQueryRq><IncludeRetElement>Name</IncludeRetElement>"
                             "<ListID>1</ListID></CustomerQueryRq>")},
        {"unknown element", data("<TransactionQueryRq><TxnID>1</TxnID><Colour>red</Colour>"
                                 "</TransactionQueryRq>")},
        {"missing required", data("<TransactionQueryRq><RefNumberFilter><MatchCriterion>Contains"
                                  "</MatchCriterion></RefNumberFilter></TransactionQueryRq>")},
        {"two alternatives", data("<CustomerQueryRq><ListID>1</ListID><FullName>A</FullName>"
                                  "</CustomerQueryRq>")},
        {"newer than the version", doc("<QBXMLMsgsRq onError=\"stopOnError\"><TransactionQueryRq>"
                                       "<TxnID>1</TxnID></TransactionQueryRq></QBXMLMsgsRq>",
                                       "3.0")},
        {"unknown version", doc("<QBXMLMsgsRq onError=\"stopOnError\"><CustomerQueryRq/></QBXMLMsgsRq>", "5.0")},
        {"no version", "<?xml version=\"1.0\" ?><QBXML><QBXMLMsgsRq onError=\"stopOnError\">"
                       "<CustomerQueryRq/></QBXMLMsgsRq></QBXML>"},
        {"no onError", doc("<QBXMLMsgsRq><CustomerQueryRq/></QBXMLMsgsRq>")},
        {"bad onError", data("<CustomerQueryRq/>", "continue")},
        {"unknown request", data("<InvoiceQueryRq/>")},
        {"empty set", data("")},
        {"subscription in a data set", data(kDelRq)},
        {"bad attribute", data("<CustomerQueryRq colour=\"red\"/>")},
        {"text in a container", data("<CustomerQueryRq>x<ListID>1</ListID></CustomerQueryRq>")},
        {"element in a value", data("<CustomerQueryRq><ListID><b>1</b></ListID></CustomerQueryRq>")},
        {"empty ID", data("<CustomerQueryRq><ListID></ListID></CustomerQueryRq>")},
        {"MaxReturned 0", data("<CustomerQueryRq><MaxReturned>0</MaxReturned></CustomerQueryRq>")},
        {"not well-formed", data("<CustomerQueryRq>")},
        {"DOCTYPE", "<?xml version=\"1.0\" ?><?qbxml version=\"4.0\"?><!DOCTYPE QBXML []><QBXML>"
                    "<QBXMLMsgsRq onError=\"stopOnError\"><CustomerQueryRq/></QBXMLMsgsRq></QBXML>"},
    };
    for (const auto& [what, request] : refused) {
        std::string why = refusal([&] { query(request); });
        EXPECT_EQ(why.rfind("QuickBooks found an error when parsing the provided XML text stream.", 0),
                  0u)
            << what << ": " << why;
        EXPECT_TRUE(company->log.back().failed) << what;
        EXPECT_EQ(company->log.back().request, request) << what;
    }
}

TEST_F(StandInTest, SubscriptionRequestsAgainstTheRulesAreRefused) {
    rp.OpenConnection("", "T");
    auto swap = [](std::string s, const std::string& from, const std::string& to) {
        return s.replace(s.find(from), from.size(), to);
    };
    const std::pair<const char*, std::string> refused[] = {
        {"EventTag before MenuText",
         subscription(addRq("<MenuItem><EventTag>a</EventTag><MenuText>A</MenuText></MenuItem>"))},
        {"two MenuItems without a Submenu",
         subscription(addRq("<MenuItem><MenuText>A</MenuText><EventTag>a</EventTag></MenuItem>"
                            "<MenuItem><MenuText>B</MenuText><EventTag>b</EventTag></MenuItem>"))},
        {"submenu text", subscription(addRq("<Submenu><MenuText>M</MenuText><MenuItem><MenuText>A"
                                            "</MenuText><EventTag>a</EventTag></MenuItem></Submenu>"))},
        {"empty submenu", subscription(addRq("<Submenu></Submenu>"))},
        {"ProgID and CLSID", subscription(swap(addRq(), "<ProgID>X.Y</ProgID>",
                                               "<ProgID>X.Y</ProgID><CLSID>" + kGuid + "</CLSID>"))},
        {"menu text over 50", subscription(swap(addRq(), "<MenuText>A<", "<MenuText>" + std::string(51, 'A') + "<"))},
        {"menu not File etc.", subscription(swap(addRq(), ">File<", ">Edit<"))},
        {"SubscriberID not a GUID", subscription(swap(addRq(), kGuid, "7D3B51A8"))},
        {"no SubscriberID", subscription(swap(kDelRq, "<SubscriberID>" + kGuid + "</SubscriberID>", ""))},
        {"type not known", subscription(swap(kDelRq, "UIExtension<", "Menu<"))},
        {"before version 3.0", subscription(kDelRq, "2.1")},
        {"query in a subscription set", subscription("<CustomerQueryRq/>")},
        {"attributes on the set", doc("<QBXMLSubscriptionMsgsRq onError=\"stopOnError\">" + kDelRq +
                                      "</QBXMLSubscriptionMsgsRq>")},
    };
    for (const auto& [what, request] : refused)
        EXPECT_NE(refusal([&] { rp.ProcessSubscription(request); }), "") << what;
    EXPECT_TRUE(menuSubscriptions(company->subscriptions()).empty());
    // The same shapes in the right form are taken.
    EXPECT_EQ(refusal([&] { rp.ProcessSubscription(subscription(addRq())); }), "");
    EXPECT_EQ(refusal([&] { rp.ProcessSubscription(subscription(kDelRq, "3.0")); }), "");
}

TEST_F(StandInTest, FullQueriesWithinTheRulesAreTaken) {
    session();
    std::string full = data(
        "<TransactionQueryRq requestID=\"7\" metaData=\"NoMetaData\"><MaxReturned>2</MaxReturned>"
        "<RefNumberFilter><MatchCriterion>StartsWith</MatchCriterion><RefNumber>1</RefNumber>"
        "</RefNumberFilter><TransactionModifiedDateRangeFilter><DateMacro>ThisYear</DateMacro>"
        "</TransactionModifiedDateRangeFilter></TransactionQueryRq>");
    EXPECT_NE(refusal([&] { query(full); }), "");  // ThisYear is no date macro
    full.replace(full.find("ThisYear"), 8, "ThisFiscalYear");
    std::string answer = query(full);
    EXPECT_NE(answer.find("<TransactionQueryRs requestID=\"7\" statusCode=\"0\""), std::string::npos);
    EXPECT_NE(answer.find("retCount=\"2\""), std::string::npos);
    EXPECT_EQ(refusal([&] {
                  query(data("<CustomerQueryRq><MaxReturned>5</MaxReturned><ActiveStatus>All"
                             "</ActiveStatus><FromModifiedDate>2007-01-01T00:00:00-08:00"
                             "</FromModifiedDate><NameFilter><MatchCriterion>Contains</MatchCriterion>"
                             "<Name>a</Name></NameFilter><IncludeRetElement>FullName</IncludeRetElement>"
                             "<OwnerID>0</OwnerID></CustomerQueryRq>"));
              }),
              "");
}

TEST_F(StandInTest, QueriesByIdentifier) {
    session();
    std::string one = query(data("<TransactionQueryRq><TxnID>1A-1165000101</TxnID></TransactionQueryRq>"));
    EXPECT_NE(one.find("statusCode=\"0\" statusSeverity=\"Info\" statusMessage=\"Status OK\" retCount=\"1\""),
              std::string::npos);
    EXPECT_NE(one.find("<TransactionRet><TxnType>Invoice</TxnType><TxnID>1A-1165000101</TxnID>"),
              std::string::npos);
    EXPECT_EQ(one.find("<TransactionRet>", one.find("<TransactionRet>") + 1), std::string::npos);

    std::string none = query(data("<CustomerQueryRq><ListID>nope</ListID></CustomerQueryRq>"));
    EXPECT_NE(none.find("statusCode=\"500\" statusSeverity=\"Warn\""), std::string::npos);
    EXPECT_NE(none.find("(&quot;nope&quot;)"), std::string::npos);
    EXPECT_EQ(none.find("<CustomerRet>"), std::string::npos);

    // Values come back as stored, specials escaped once.
    std::string odd = query(data("<CustomerQueryRq><ListID>80000006-1165000006</ListID></CustomerQueryRq>"));
    EXPECT_NE(odd.find("<FullName>Café Müller &amp; Söhne:Küche &lt;Phase 2&gt;</FullName>"),
              std::string::npos);

    company->config.dropElement = "EntityRef";
    EXPECT_EQ(query(data("<TransactionQueryRq><TxnID>1A-1165000101</TxnID></TransactionQueryRq>"))
                  .find("<EntityRef>"),
              std::string::npos);
}

TEST_F(StandInTest, CallsOutOfTurnAreRefused) {
    EXPECT_NE(refusal([&] { rp.BeginSession("", 2); }), "");
    EXPECT_NE(refusal([&] { rp.ProcessSubscription(subscription(kDelRq)); }), "");
    EXPECT_NE(refusal([&] { rp.CloseConnection(); }), "");
    EXPECT_NE(refusal([&] { rp.OpenConnection("", ""); }), "");  // a name is required
    session();
    EXPECT_NE(refusal([&] { rp.OpenConnection("", "T"); }), "");
    EXPECT_NE(refusal([&] { rp.BeginSession("", 2); }), "");
    EXPECT_NE(refusal([&] { rp.ProcessRequest("{other}", data("<CustomerQueryRq/>")); }), "");
    EXPECT_NE(refusal([&] { rp.CloseConnection(); }), "");  // the session is still open
    EXPECT_NE(refusal([&] { rp.EndSession("{other}"); }), "");
    rp.EndSession(ticket);
    rp.CloseConnection();
    RequestProcessor other(company);
    EXPECT_NE(refusal([&] { other.OpenConnection2("", "T", 4); }), "");
    EXPECT_NE(refusal([&] {
                  other.OpenConnection2("", "T", 3);
                  other.BeginSession("C:\\Company.qbw", 2);
              }),
              "");
}

TEST_F(StandInTest, SubscriptionsOnePerSubscriber) {
    rp.OpenConnection("", "T");
    std::string first = rp.ProcessSubscription(subscription(addRq()));
    EXPECT_NE(first.find("<UIExtensionSubscriptionAddRs statusCode=\"0\""), std::string::npos);
    EXPECT_NE(first.find("<UIExtensionSubscriptionRet><SubscriberID>" + kGuid), std::string::npos);
    std::string second = rp.ProcessSubscription(subscription(addRq()));
    EXPECT_NE(second.find("statusCode=\"3180\" statusSeverity=\"Error\""), std::string::npos);
    EXPECT_NE(rp.ProcessSubscription(subscription(kDelRq)).find("statusCode=\"0\""), std::string::npos);
    EXPECT_NE(rp.ProcessSubscription(subscription(kDelRq)).find("statusCode=\"3120\""), std::string::npos);

    company->config.fault = "requestFails";
    EXPECT_NE(refusal([&] { rp.ProcessSubscription(subscription(addRq())); }), "");
    EXPECT_TRUE(menuSubscriptions(company->subscriptions()).empty());  // a failed exchange stores nothing
}

TEST(StandInFiles, SubscriptionsConfigurationAndLogLiveBesideTheProcessor) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() /
                   ("qbxmlrp2-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        auto company = std::make_shared<Company>(dir);
        RequestProcessor rp(company);
        rp.OpenConnection("", "T");
        rp.ProcessSubscription(subscription(addRq()));
        rp.CloseConnection();
    }
    std::vector<MenuSubscription> stored = loadMenuSubscriptions(dir);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].subscriberID, kGuid);
    EXPECT_EQ(stored[0].entries[0].eventTag, "a");

    std::ofstream(dir / kConfigFileName) << "# injected\nfault = sessionRefused\n";
    {
        auto company = std::make_shared<Company>(dir);
        RequestProcessor rp(company);
        rp.OpenConnection2("", "T", 3);
        EXPECT_THROW(rp.BeginSession("", 2), Fault);
        // A second processor sees the subscription the first one stored.
        EXPECT_EQ(rp.ProcessSubscription(subscription(addRq())).find("statusCode=\"0\""), std::string::npos);
    }
    std::ofstream(dir / kConfigFileName) << "fault = sometimes\n";
    {
        RequestProcessor rp(std::make_shared<Company>(dir));
        EXPECT_THROW(rp.OpenConnection("", "T"), Fault);  // a bad configuration is loud
    }
    std::ofstream(dir / kCompanyFileName) << "<QBCompany><CustomerRet>";
    fs::remove(dir / kConfigFileName);
    {
        RequestProcessor rp(std::make_shared<Company>(dir));
        EXPECT_THROW(rp.OpenConnection("", "T"), Fault);
    }

    std::string text;
    {
        std::ifstream in(dir / kLogFileName, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<LogEntry> log = parseLog(text);
    ASSERT_EQ(log.size(), 12u);
    EXPECT_EQ(log[1].call, "ProcessSubscription");
    EXPECT_EQ(log[1].request, subscription(addRq()));
    EXPECT_EQ(log[3].call, "Release");
    EXPECT_TRUE(log[5].failed);
    EXPECT_EQ(log[5].hresult, kHrSessionRefused);
    fs::remove_all(dir);
}

TEST(StandInLog, EntriesSurviveAnyText) {
    LogEntry e;
    e.call = "ProcessRequest";
    e.args = {"", "two\nlines\n== not an entry"};
    e.request = "<x>\r\n== Release\r\n</x>";
    e.failed = true;
    e.hresult = kHrParseError;
    e.error = "bad\n";
    LogEntry ok;
    ok.call = "BeginSession";
    ok.answer = "{T}";
    std::vector<LogEntry> back = parseLog(formatLogEntry(e) + formatLogEntry(ok));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].args, e.args);
    EXPECT_EQ(back[0].request, e.request);
    EXPECT_EQ(back[0].hresult, kHrParseError);
    EXPECT_EQ(back[0].error, e.error);
    EXPECT_FALSE(back[1].failed);
    EXPECT_EQ(back[1].answer, "{T}");
}

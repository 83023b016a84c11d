#include "events/lookups.h"

#include <gtest/gtest.h>

#include "events/launch.h"
#include "app/app.h"
#include "platform/fake/fake_platform.h"
#include "standin_processor.h"

using namespace marlet;
using marlet::testing::calls;
using marlet::testing::outline;

namespace {

const std::string kDorvex = "C:\\Dx\\Dorvex.exe";
const std::string kGuid = "{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}";
// The company file the records are picked in: the one the stand-in has open.
const std::string kFile = qbrp::kSampleCompanyFile;

struct LookupsTest : ::testing::Test {
    fake::World& w = fake::install();
    std::shared_ptr<qbrp::Company> company = marlet::testing::serveStandIn(w);
    LookupsTest() {
        gOptions = std::make_unique<cmOptions>();
        gOptions->dxPath = "C:\\Dx\\";
        gOptions->configPath = "C:\\Cfg\\";
        w.programs.insert(kDorvex);
    }
    std::string launched() const {
        EXPECT_EQ(w.started.size(), 1u);
        EXPECT_TRUE(w.boxes.empty()) << w.boxes[0].text;
        return w.started.empty() ? "" : w.started[0].commandLine;
    }
    // Exactly one "Error" box, nothing started; returns its text.
    std::string failure() const {
        EXPECT_TRUE(w.started.empty());
        EXPECT_EQ(w.boxes.size(), 1u);
        if (w.boxes.empty()) return "";
        EXPECT_EQ(w.boxes[0].title, "Error");
        EXPECT_EQ(w.boxes[0].style, BoxStyle::Exclamation);
        EXPECT_FALSE(w.boxes[0].text.empty());
        return w.boxes[0].text;
    }
};

const std::vector<std::string> kWholeExchange = {"OpenConnection2", "BeginSession", "GetCurrentCompanyFileName",
                                                 "ProcessRequest", "EndSession", "CloseConnection", "Release"};

}  // namespace

TEST_F(LookupsTest, TransactionWithRefNumberAndMemo) {
    scanTransaction(*gOptions, "1A-1165000101", kFile);
    EXPECT_EQ(launched(), scanCommandLine(*gOptions, {"Abercrombie, Kristy:Family Room", "Invoice", "1001",
                                          "Cabinet deposit"}));
    EXPECT_EQ(calls(*company), kWholeExchange);
    EXPECT_EQ(company->log[0].args, (std::vector<std::string>{kGuid, "Marlet", "3"}));
    EXPECT_EQ(company->log[1].args, (std::vector<std::string>{"", "2"}));
    EXPECT_EQ(outline(company->log[3].request),
              "QBXML(QBXMLMsgsRq[onError=continueOnError](TransactionQueryRq(TxnID=1A-1165000101)))");
}

TEST_F(LookupsTest, RecordsReachDorvexUnchangedAndAMissingRefNumberIsTheTimeForAScan) {
    struct Row {
        void (*lookup)(const cmOptions&, const std::string&, const std::string&);
        const char* id;
        std::string line;
    };
    w.now = {2010, 12, 31, 0, 0, 9};
    const Row rows[] = {
        {retrieveTransaction, "1A-1165000101",
         retrieveCommandLine(*gOptions, {"Abercrombie, Kristy:Family Room", "Invoice", "1001", "Cabinet deposit"})},
        {scanTransaction, "1B-1165000102",
         scanCommandLine(*gOptions, {"Sam \"Ace\" Rivera", "Invoice", "12-31-2010 00.00.09", "Ask for \"Ace\" on site"})},
        {retrieveTransaction, "1B-1165000102",
         retrieveCommandLine(*gOptions, {"Sam \"Ace\" Rivera", "Invoice", "", "Ask for \"Ace\" on site"})},
        {scanTransaction, "1D-1165000104",  // a check: neither RefNumber nor Memo
         scanCommandLine(*gOptions, {"Kovács Szerszám Kft.", "Check", "12-31-2010 00.00.09", ""})},
        {scanTransaction, "20-1165000107",
         scanCommandLine(*gOptions, {"  Lindqvist Marine  ", "CreditMemo", " 42 ", "  returned hull fittings  "})},
        {retrieveTransaction, "21-1165000108",
         retrieveCommandLine(*gOptions, {"Café Müller & Söhne:Küche <Phase 2>", "Invoice", "1002", "Tiles & grout <urgent>"})},
    };
    for (const Row& r : rows) {
        w.started.clear();
        r.lookup(*gOptions, r.id, kFile);
        EXPECT_EQ(launched(), r.line) << r.id;
    }
}

TEST_F(LookupsTest, CustomerScanAsksForAMemoOnlyWhenTheOptionsSay) {
    scanCustomer(*gOptions, "80000003-1165000003", kFile);
    EXPECT_EQ(launched(), scanCommandLine(*gOptions, {"Sam \"Ace\" Rivera", "", "", ""}));
    EXPECT_TRUE(w.inputs.empty());

    gOptions->promptMemo = true;
    w.started.clear();
    w.inputAnswers = {"Signed lease, 2 pages"};
    scanCustomer(*gOptions, "80000004-1165000004", kFile);
    EXPECT_EQ(launched(), scanCommandLine(*gOptions, {"  Lindqvist Marine  ", "", "", "Signed lease, 2 pages"}));
    ASSERT_EQ(w.inputs.size(), 1u);
    EXPECT_EQ(w.inputs[0].prompt,
              "Please enter a memo to be associated with the selected customer and document to be "
              "scanned.");

    w.started.clear();
    w.log.clear();
    w.inputAnswers = {"\x18"};  // Cancel
    scanCustomer(*gOptions, "80000004-1165000004", kFile);
    EXPECT_EQ(launched(), scanCommandLine(*gOptions, {"  Lindqvist Marine  ", "", "", ""}));
    // The prompt comes after QuickBooks has answered and the connection is closed.
    EXPECT_EQ(w.log, (std::vector<std::string>{"createObject QBXMLRP2.RequestProcessor",
                                               "rp OpenConnection2", "rp BeginSession",
                                               "rp GetCurrentCompanyFileName", "rp ProcessRequest", "rp EndSession",
                                               "rp CloseConnection", "inputBox Enter Memo",
                                               "start " + kDorvex}));

    w.started.clear();
    retrieveCustomer(*gOptions, "80000002-1165000002", kFile);  // ignores promptMemo
    EXPECT_EQ(launched(), retrieveCommandLine(*gOptions, {"Abercrombie, Kristy:Family Room", "", "", ""}));
    EXPECT_EQ(w.inputs.size(), 2u);
    EXPECT_EQ(outline(company->log[company->log.size() - 4].request),
              "QBXML(QBXMLMsgsRq[onError=continueOnError](CustomerQueryRq(ListID=80000002-1165000002)))");
}

TEST_F(LookupsTest, UnknownIdentifierIsOneErrorAndNoPrompt) {
    gOptions->promptMemo = true;
    scanCustomer(*gOptions, "80000099-1165000099", kFile);
    EXPECT_NE(failure().find("80000099-1165000099"), std::string::npos);
    EXPECT_TRUE(w.inputs.empty());
    // QuickBooks had answered, so the session was closed normally before the record was read.
    EXPECT_EQ(calls(*company), kWholeExchange);

    w.boxes.clear();
    retrieveTransaction(*gOptions, "FF-0", kFile);
    failure();
}

TEST_F(LookupsTest, MissingRequiredElementsFail) {
    struct Row {
        const char* drop;
        void (*lookup)(const cmOptions&, const std::string&, const std::string&);
        const char* id;
        const char* named;
    };
    const Row rows[] = {
        {"", scanTransaction, "1E-1165000105", "EntityRef"},  // a journal entry
        {"EntityRef/FullName", scanTransaction, "1A-1165000101", "EntityRef/FullName"},
        {"TxnType", retrieveTransaction, "1A-1165000101", "TxnType"},
        {"FullName", retrieveCustomer, "80000001-1165000001", "FullName"},
        {"FullName", scanCustomer, "80000001-1165000001", "FullName"},
    };
    gOptions->promptMemo = true;
    for (const Row& r : rows) {
        company->config.dropElement = r.drop;
        w.boxes.clear();
        r.lookup(*gOptions, r.id, kFile);
        EXPECT_NE(failure().find(r.named), std::string::npos) << r.named;
    }
    EXPECT_EQ(w.inputs.size(), 1u);  // the customer was found: its name is read after the memo
}

TEST_F(LookupsTest, EachFaultIsOneBoxAndNoFurtherCall) {
    // An answer that cannot be read fails DoRequests itself, before EndSession.
    struct Case {
        const char* fault;
        const char* lastCall;
    };
    const Case cases[] = {
        {"qbNotRunning", "OpenConnection2"}, {"connectionRefused", "OpenConnection2"},
        {"sessionRefused", "BeginSession"},  {"requestFails", "ProcessRequest"},
        {"emptyAnswer", "ProcessRequest"},   {"malformedAnswer", "ProcessRequest"},
    };
    for (const Case& c : cases) {
        company->config.fault = c.fault;
        company->log.clear();
        w.boxes.clear();
        scanCustomer(*gOptions, "80000001-1165000001", kFile);
        std::string text = failure();
        std::vector<std::string> seen = calls(*company);
        ASSERT_GE(seen.size(), 2u) << c.fault;
        EXPECT_EQ(seen[seen.size() - 2], c.lastCall) << c.fault;
        EXPECT_EQ(seen.back(), "Release") << c.fault;
        const qbrp::LogEntry& last = company->log[seen.size() - 2];
        EXPECT_EQ(text, last.failed ? last.error : text) << c.fault;
        EXPECT_EQ(last.failed, std::string(c.fault).find("Answer") == std::string::npos) << c.fault;
    }
}

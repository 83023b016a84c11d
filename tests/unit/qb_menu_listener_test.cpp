#include "events/qb_menu_listener.h"

#include <gtest/gtest.h>

#include "events/launch.h"
#include "app/app.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "standin_processor.h"

using namespace marlet;

namespace {

const std::string kDorvex = "C:\\Dx\\Dorvex.exe";

// Records StartDoc calls; fails them when asked to.
struct FakeFileTools : AutoObject {
    std::vector<std::string>* docs;
    bool fail = false;
    explicit FakeFileTools(std::vector<std::string>* d) : docs(d) {}
    Value call(const std::string& member, const std::vector<Value>& args) override {
        EXPECT_EQ(member, "StartDoc");
        if (fail) throw Error(-2146828235, "File not found");
        docs->push_back(std::get<std::string>(args.at(0)));
        return {};
    }
};

std::string menuEvent(const std::string& tag, const std::string& window) {
    return "<?xml version=\"1.0\" ?><?qbxml version=\"4.0\"?><QBXML><QBXMLEvents><UIExtensionEvent>"
           "<SubscriberID>{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}</SubscriberID>"
           "<CompanyFilePath>C:\\sample.qbw</CompanyFilePath><HostInfo><ProductName>QuickBooks</ProductName>"
           "<MajorVersion>14</MajorVersion><MinorVersion>0</MinorVersion><Country>US</Country></HostInfo>"
           "<EventTime>2007-03-09T14:05:07</EventTime><EventTag>" + tag + "</EventTag>" + window +
           "</UIExtensionEvent></QBXMLEvents></QBXML>";
}

struct ListenerTest : ::testing::Test {
    fake::World& w = fake::install();
    std::shared_ptr<qbrp::Company> company = marlet::testing::serveStandIn(w);
    std::vector<std::string> docs;
    int fileToolsMade = 0;

    ListenerTest() {
        gOptions = std::make_unique<cmOptions>();
        gOptions->dxPath = "C:\\Dx\\";
        gOptions->configPath = "C:\\Cfg\\";
        w.programs.insert(kDorvex);
        w.classes["Kelvorn.FileTools"] = [this] {
            fileToolsMade++;
            return std::make_unique<FakeFileTools>(&docs);
        };
        gFileTools.reset();
    }

    void inform(const std::string& xml) {
        QBMenuListener listener;
        listener.Class_Initialize();
        listener.inform(xml);
    }

    // What one event did, in words.
    std::string outcome() const {
        if (w.boxes.size() == 1 && w.started.empty() && w.boxes[0].title == "Information not found" &&
            w.boxes[0].text == "Please open a customer or recorded transaction." && w.boxes[0].style == kOkOnly)
            return "message";
        if (!w.boxes.empty()) return "box " + w.boxes[0].title + ": " + w.boxes[0].text;
        if (w.started.empty()) return "nothing";
        if (w.started.size() > 1) return "several launches";
        std::string line = w.started[0].commandLine;
        if (line == retrieveCommandLine("", "", "", "")) return "bare retrieval";
        return line;
    }
};

}  // namespace

TEST_F(ListenerTest, EveryRowOfTheWindowTableForBothTags) {
    struct Row {
        const char* window;
        std::string scan, retrieve;
    };
    const std::string customer = "Sam \"Ace\" Rivera";
    const Row rows[] = {
        {"", "message", "bare retrieval"},
        {"<CurrentWindow><ListID>80000003-1165000003</ListID></CurrentWindow>", "nothing", "nothing"},
        {"<CurrentWindow><ListType>Customer</ListType><ListID>80000003-1165000003</ListID></CurrentWindow>",
         scanCommandLine(customer, "", "", ""), retrieveCommandLine(customer, "", "", "")},
        {"<CurrentWindow><ListType>Vendor</ListType><ListID>80000003-1165000003</ListID></CurrentWindow>",
         "nothing", "bare retrieval"},
        {"<CurrentWindow><ListType>Customer</ListType></CurrentWindow>", "nothing", "bare retrieval"},
        {"<CurrentWindow></CurrentWindow>", "message", "bare retrieval"},
        {"<CurrentWindow><TxnID>1A-1165000101</TxnID></CurrentWindow>", "nothing", "nothing"},
        {"<CurrentWindow><TxnType>Invoice</TxnType></CurrentWindow>", "message", "bare retrieval"},
        {"<CurrentWindow><TxnType>Invoice</TxnType><TxnID>1A-1165000101</TxnID></CurrentWindow>",
         scanCommandLine("Abercrombie, Kristy:Family Room", "Invoice", "1001", "Cabinet deposit"),
         retrieveCommandLine("Abercrombie, Kristy:Family Room", "Invoice", "1001", "Cabinet deposit")},
    };
    for (const Row& row : rows) {
        for (const char* tag : {"scan", "retrieve"}) {
            SCOPED_TRACE(std::string(tag) + " " + row.window);
            w.boxes.clear();
            w.started.clear();
            inform(menuEvent(tag, row.window));
            EXPECT_EQ(outcome(), std::string(tag) == "scan" ? row.scan : row.retrieve);
        }
    }
}

TEST_F(ListenerTest, OnlyTheExactTagsAct) {
    for (const char* tag : {"Scan", "scan ", " scan", "SCAN", "scan\t", "scanx", "retrieve ", "Retrieve",
                            "Manual", "options ", "", "sc&#x61;n ", "retrieve\xEF\xBF\xBD"}) {
        SCOPED_TRACE(tag);
        inform(menuEvent(tag, ""));
        EXPECT_EQ(outcome(), "nothing");
    }
    inform("<QBXML><QBXMLEvents><DataEvent><ListEvent/></DataEvent></QBXMLEvents></QBXML>");  // not a menu event
    EXPECT_EQ(outcome(), "nothing");
    EXPECT_TRUE(docs.empty());
    EXPECT_EQ(w.optionsDialogsShown, 0);
    // A character reference that spells the tag exactly is the tag.
    inform(menuEvent("sc&#x61;n", ""));
    EXPECT_EQ(outcome(), "message");
}

TEST_F(ListenerTest, ManualOpensTheManualBesideTheProgram) {
    w.exeFolder = "D:\\Apps\\Marlet";
    inform(menuEvent("manual", "<CurrentWindow><TxnType>Invoice</TxnType></CurrentWindow>"));
    EXPECT_EQ(docs, (std::vector<std::string>{"D:\\Apps\\Marlet\\QBManual.pdf"}));
    EXPECT_EQ(outcome(), "nothing");
}

TEST_F(ListenerTest, OptionsRunsTheOptionsEntry) {
    w.files["C:\\Marlet\\dxqb.ini"] = "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n";
    inform(menuEvent("options", ""));
    EXPECT_EQ(w.optionsDialogsShown, 1);
    EXPECT_TRUE(w.boxes.empty());
}

TEST_F(ListenerTest, FailuresReachTheCallerAndShowNothing) {
    auto failure = [&](const std::string& xml) -> int32_t {
        w.boxes.clear();
        try {
            inform(xml);
        } catch (const Error& e) {
            EXPECT_FALSE(e.description().empty());
            EXPECT_TRUE(w.boxes.empty());
            EXPECT_TRUE(w.started.empty());
            return e.number();
        }
        return 0;
    };
    EXPECT_NE(failure(menuEvent("scan", "<CurrentWindow>")), 0);  // malformed
    EXPECT_NE(failure("<QBXML><QBXMLEvents><UIExtensionEvent/></QBXMLEvents></QBXML>"), 0);
    // The bare retrieval with no Dorvex where the options say.
    w.programs.clear();
    EXPECT_EQ(failure(menuEvent("retrieve", "")), kErrFileNotFound);
    // The file tools refuse the document.
    w.classes["Kelvorn.FileTools"] = [this] {
        auto tools = std::make_unique<FakeFileTools>(&docs);
        tools->fail = true;
        return tools;
    };
    EXPECT_EQ(failure(menuEvent("manual", "")), -2146828235);
    // A listener after a failure works as before.
    w.programs.insert(kDorvex);
    inform(menuEvent("retrieve", ""));
    EXPECT_EQ(outcome(), "bare retrieval");
}

TEST_F(ListenerTest, EachListenerReplacesTheFileTools) {
    QBMenuListener first, second;
    first.Class_Initialize();
    AutoObject* firstTools = gFileTools.get();
    second.Class_Initialize();
    EXPECT_EQ(fileToolsMade, 2);
    EXPECT_NE(gFileTools.get(), firstTools);
    first.inform(menuEvent("manual", ""));  // through whichever listener: the newest tools
    EXPECT_EQ(docs.size(), 1u);
}

TEST_F(ListenerTest, MissingFileToolsEndTheProcessAfterTheBox) {
    w.classes.erase("Kelvorn.FileTools");
    QBMenuListener listener;
    EXPECT_THROW(listener.Class_Initialize(), fake::ProcessEnded);
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].title, "Marlet Error");  // "Dorvex is not installed"

    w.boxes.clear();
    w.classes["Kelvorn.FileTools"] = []() -> std::unique_ptr<AutoObject> {
        throw Error(-2147024891, "Access is denied.");
    };
    EXPECT_THROW(listener.Class_Initialize(), fake::ProcessEnded);
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].title, "Marlet");
    EXPECT_EQ(w.boxes[0].text, "-2147024891: Access is denied.");
}

TEST_F(ListenerTest, ManualWithoutFileToolsIsAFailureNotACrash) {
    QBMenuListener listener;  // never initialised
    EXPECT_THROW(listener.inform(menuEvent("manual", "")), Error);
}

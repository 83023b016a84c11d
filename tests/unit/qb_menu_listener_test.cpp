#include "events/qb_menu_listener.h"

#include <gtest/gtest.h>

#include "events/event_queue.h"
#include "events/launch.h"
#include "app/app.h"
#include "app/log.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "standin_processor.h"

using namespace marlet;

namespace {

const std::string kDorvex = "C:\\Dx\\Dorvex.exe";
const std::string kInvoice = "<CurrentWindow><TxnType>Invoice</TxnType><TxnID>1A-1165000101</TxnID></CurrentWindow>";

// Records StartDoc calls; fails them when the test says (gStartDocFails).
std::function<void()> gStartDocFails;
struct FakeFileTools : AutoObject {
    std::vector<std::string>* docs;
    explicit FakeFileTools(std::vector<std::string>* d) : docs(d) {}
    Value call(const std::string& member, const std::vector<Value>& args) override {
        EXPECT_EQ(member, "StartDoc");
        if (gStartDocFails) gStartDocFails();
        docs->push_back(std::get<std::string>(args.at(0)));
        return {};
    }
};

std::string menuEvent(const std::string& tag, const std::string& window,
                      const std::string& file = qbrp::kSampleCompanyFile) {
    return "<?xml version=\"1.0\" ?><?qbxml version=\"4.0\"?><QBXML><QBXMLEvents><UIExtensionEvent>"
           "<SubscriberID>{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}</SubscriberID>"
           "<CompanyFilePath>" + file + "</CompanyFilePath><HostInfo><ProductName>QuickBooks</ProductName>"
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
        gStartDocFails = nullptr;
        gOptions = std::make_unique<cmOptions>();
        gOptions->dxPath = "C:\\Dx\\";
        gOptions->configPath = "C:\\Cfg\\";
        w.programs.insert(kDorvex);
        w.classes["Kelvorn.FileTools"] = [this] {
            fileToolsMade++;
            return std::make_unique<FakeFileTools>(&docs);
        };
    }

    // The call from QuickBooks, then the server's loop.
    void inform(const std::string& xml) {
        QBMenuListener listener;
        listener.createFileTools();
        listener.inform(xml);
        menuEvents().runWaiting();
    }

    // What one event did, in words.
    std::string outcome() const {
        if (w.boxes.size() == 1 && w.started.empty() && w.boxes[0].title == "Information not found" &&
            w.boxes[0].text == "Please open a customer or recorded transaction." && w.boxes[0].style == BoxStyle::OkOnly)
            return "message";
        if (!w.boxes.empty()) return "box " + w.boxes[0].title + ": " + w.boxes[0].text;
        if (w.started.empty()) return "nothing";
        if (w.started.size() > 1) return "several launches";
        std::string line = w.started[0].commandLine;
        if (line == retrieveCommandLine(*gOptions, {})) return "bare retrieval";
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
         scanCommandLine(*gOptions, {customer, "", "", ""}), retrieveCommandLine(*gOptions, {customer, "", "", ""})},
        {"<CurrentWindow><ListType>Vendor</ListType><ListID>80000003-1165000003</ListID></CurrentWindow>",
         "nothing", "bare retrieval"},
        {"<CurrentWindow><ListType>Customer</ListType></CurrentWindow>", "nothing", "bare retrieval"},
        {"<CurrentWindow></CurrentWindow>", "message", "bare retrieval"},
        {"<CurrentWindow><TxnID>1A-1165000101</TxnID></CurrentWindow>", "nothing", "nothing"},
        {"<CurrentWindow><TxnType>Invoice</TxnType></CurrentWindow>", "message", "bare retrieval"},
        {"<CurrentWindow><TxnType>Invoice</TxnType><TxnID>1A-1165000101</TxnID></CurrentWindow>",
         scanCommandLine(*gOptions, {"Abercrombie, Kristy:Family Room", "Invoice", "1001", "Cabinet deposit"}),
         retrieveCommandLine(*gOptions, {"Abercrombie, Kristy:Family Room", "Invoice", "1001", "Cabinet deposit"})},
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
    enableLog(true);
    inform("<QBXML><QBXMLEvents><DataEvent><ListEvent/></DataEvent></QBXMLEvents></QBXML>");  // not a menu event
    enableLog(false);
    EXPECT_EQ(outcome(), "nothing");
    EXPECT_NE(w.files[logFilePath()].find("event that is not a menu event: ignored"), std::string::npos);
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

// Only an event that cannot be read fails QuickBooks' call, at once. What an
// event leads to fails after the call has returned, in exactly one box: its
// own where it has one, else the one a failure nothing handled ends in.
TEST_F(ListenerTest, UnreadableEventsFailTheCallEveryOtherFailureIsOneBox) {
    QBMenuListener listener;
    listener.createFileTools();
    enableLog(true);
    for (const std::string& xml : {menuEvent("scan", "<CurrentWindow>"),
                                   std::string("<QBXML><QBXMLEvents><UIExtensionEvent/></QBXMLEvents></QBXML>")}) {
        EXPECT_THROW(listener.inform(xml), Error) << xml;
        EXPECT_TRUE(menuEvents().idle());
    }

    struct Road {
        const char* name;
        std::function<void()> arrange;
        const char* tag;
        const char* title;
        std::string text;
    };
    const std::string ini = "C:\\Marlet\\dxqb.ini";
    const Road roads[] = {
        {"no Dorvex, nothing open", [&] { w.programs.clear(); }, "retrieve", "Marlet", "53: File not found"},
        {"the file tools refuse", [] { gStartDocFails = [] { throw Error(-2146828235, "File not found"); }; },
         "manual", "Marlet", "-2146828235: File not found"},
        {"out of memory", [] { gStartDocFails = [] { throw std::bad_alloc(); }; }, "manual", "Marlet",
         "7: Out of memory"},
        {"clipboard refused in debug mode", [&] { gOptions->debugMode = w.clipboardLocked = true; }, "retrieve",
         "Marlet", "521: Can't open Clipboard"},
        {"the Options dialog fails", [&] { w.onShowOptions = [](OptionsForm&) { throw Error(-2147024888, "No memory"); }; },
         "options", "Marlet", "-2147024888: No memory"},
        {"a failed save keeps its own box", [&] {
             w.files[ini] = "TRUE\r\n";  // written back as "True", nowhere
             w.writeFailures[ini] = w.writeFailures["C:\\Users\\ann\\AppData\\Local\\Marlet"] = fake::accessDenied();
         }, "options", "Marlet", ""},
        {"a lookup keeps its own box", [&] { w.programs.clear(); }, "scan", "Error", "File not found"},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        w.boxes.clear();
        w.programs = {kDorvex};
        road.arrange();
        listener.inform(menuEvent(road.tag, std::string(road.tag) == "scan" ? kInvoice : ""));
        EXPECT_TRUE(w.boxes.empty()) << "a box inside the call";
        menuEvents().runWaiting();
        ASSERT_EQ(w.boxes.size(), 1u);
        EXPECT_EQ(w.boxes[0].title, road.title);
        EXPECT_EQ(road.text.empty() ? "" : w.boxes[0].text, road.text);
        EXPECT_TRUE(w.started.empty());
        gStartDocFails = nullptr, w.onShowOptions = nullptr, gOptions->debugMode = w.clipboardLocked = false;
        w.writeFailures.clear();
    }
    for (const char* line : {"menu event failed: 0x80070057 (-2147024809): The menu event has no EventTag",
                             "menu event \"retrieve\", open window: nothing, company file: C:\\",
                             "menu event failed: 0x80070008 (-2147024888): No memory"})
        EXPECT_NE(w.files[logFilePath()].find(line), std::string::npos) << line;
    // Quiet: the same failure is logged and shows nothing.
    setQuietMode(true);
    w.boxes.clear();
    inform(menuEvent("retrieve", ""));
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_NE(w.files[logFilePath()].find("box not shown (quiet), taken as OK: Marlet: 53: File not found"),
              std::string::npos);
    enableLog(false);
}

// A lookup runs only on the file it was picked in: the same file written
// otherwise runs; another file starts nothing and says which; where the file
// cannot be confirmed the lookup runs and the log says so.
TEST_F(ListenerTest, ALookupRunsOnlyOnTheFileItWasPickedIn) {
    const std::string launch = scanCommandLine(*gOptions, {"Abercrombie, Kristy:Family Room", "Invoice", "1001", "Cabinet deposit"});
    const std::string open = "C:\\Users\\Ann\\Documents\\Ölmühle Café.QBW";
    company->openAnother(open);
    enableLog(true);
    const std::pair<const char*, bool> rows[] = {
        {"c:/users/ann/DOCUMENTS/ölmÜhle cafÉ.qbw", true},           // the same file
        {"C:\\Users\\Ann\\Documents\\Olmuhle Cafe.QBW", false},   // others
        {"C:\\Users\\Ann\\Documents\\Ölmühle Café.QBW.bak", false},
        {"", true},  // an event that names no file
    };
    for (auto [picked, runs] : rows) {
        SCOPED_TRACE(picked);
        w.boxes.clear(), w.started.clear();
        inform(menuEvent("scan", kInvoice, picked));
        EXPECT_EQ(outcome(), runs ? launch
                                  : "box Error: The menu entry was picked in the company file \"" + std::string(picked) +
                                        "\", but QuickBooks now has \"" + open + "\" open, so nothing was started. "
                                        "Please open \"" + picked + "\" and pick the entry again.");
        ASSERT_FALSE(company->log.empty());  // and the session is over, the connection closed
        EXPECT_EQ(company->log.back().call + " " + company->log.back().args.at(0), "Release closed");
    }
    company->openAnother("");  // QuickBooks names no file: the lookup runs
    w.started.clear();
    inform(menuEvent("scan", kInvoice, "C:\\Other.qbw"));
    EXPECT_EQ(outcome(), launch);
    company->config.failCall = "GetCurrentCompanyFileName";  // an older request processor
    company->config.failHresult = int32_t(0x80020003);
    w.started.clear();
    inform(menuEvent("scan", kInvoice, "C:\\Other.qbw"));
    EXPECT_EQ(outcome(), launch);
    enableLog(false);
    const std::string log = w.files[logFilePath()];
    for (const char* line : {"company file changed: picked in \"C:\\Users\\Ann\\Documents\\Olmuhle",
                             "company file not confirmed: QuickBooks names none",
                             "QuickBooks GetCurrentCompanyFileName: 0x80020003",
                             "company file not confirmed: QuickBooks does not name it (0x80020003",
                             "company file not confirmed: the event names none"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// Events wait their turn: nothing runs inside the call, then each in the order
// it came, one at a time. An event delivered while a box, the memo prompt or the
// Options dialog is up (their own loops dispatch the server's wake-up) runs after
// that window has closed, neither inside it nor never.
TEST_F(ListenerTest, EventsRunAfterTheCallInOrderOneAtATime) {
    w.files["C:\\Marlet\\dxqb.ini"] = "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nTrue\r\nFalse\r\n";  // prompt for memo
    QBMenuListener listener;
    listener.createFileTools();
    auto arrives = [&](const std::string& tag, const std::string& window) {
        listener.inform(menuEvent(tag, window));
        menuEvents().runWaiting();  // the wake-up, inside whatever window is up
    };
    const std::string customer = "<CurrentWindow><ListType>Customer</ListType><ListID>80000003-1165000003</ListID></CurrentWindow>";
    std::vector<std::string> inside;  // what each window saw happen while it was up
    int boxes = 0;
    w.whileBoxUp = [&] {
        size_t before = w.log.size();
        if (++boxes == 1) arrives("options", "");   // during "Information not found"
        if (boxes == 2) arrives("retrieve", "");    // during the memo prompt
        inside.push_back(std::to_string(w.log.size() - before));
    };
    w.onShowOptions = [&](OptionsForm&) {
        size_t before = w.log.size();
        arrives("scan", customer);
        inside.push_back(std::to_string(w.log.size() - before));
    };

    listener.inform(menuEvent("scan", ""));
    listener.inform(menuEvent("manual", ""));
    EXPECT_TRUE(w.log.empty() || w.log.back() == "createObject Kelvorn.FileTools") << "ran inside the call";
    w.log.clear();
    menuEvents().runWaiting();
    EXPECT_TRUE(menuEvents().idle());
    EXPECT_EQ(inside, (std::vector<std::string>{"0", "0", "0"}));
    std::vector<std::string> order;
    for (const std::string& call : w.log)
        if (call.rfind("msgBox", 0) == 0 || call.rfind("inputBox", 0) == 0 || call == "showOptions" ||
            call.rfind("start ", 0) == 0)
            order.push_back(call);
    EXPECT_EQ(order, (std::vector<std::string>{"msgBox Information not found", "showOptions", "inputBox Enter Memo",
                                               "start " + kDorvex, "start " + kDorvex}));
    EXPECT_EQ(docs.size(), 1u);  // the manual, between the box and the dialog
    ASSERT_EQ(w.started.size(), 2u);
    EXPECT_EQ(w.started[0].commandLine, scanCommandLine(*gOptions, {"Sam \"Ace\" Rivera", "", "", ""}));
    EXPECT_EQ(w.started[1].commandLine, retrieveCommandLine(*gOptions, {}));
}

TEST_F(ListenerTest, EachListenerReplacesTheFileTools) {
    QBMenuListener first, second;
    first.createFileTools();
    AutoObject* firstTools = gFileTools.get();
    second.createFileTools();
    EXPECT_EQ(fileToolsMade, 2);
    EXPECT_NE(gFileTools.get(), firstTools);
    first.inform(menuEvent("manual", ""));  // through whichever listener: the newest tools
    menuEvents().runWaiting();
    EXPECT_EQ(docs.size(), 1u);
}

// The call that creates the listener fails and shows nothing; the box follows
// from the server's loop, and the process ends after it.
TEST_F(ListenerTest, MissingFileToolsEndTheProcessAfterTheCallAndTheBox) {
    struct Row {
        std::function<std::unique_ptr<AutoObject>()> make;
        const char* title;
        const char* text;
    };
    const Row rows[] = {
        {nullptr, "Marlet Error", nullptr},  // "Dorvex is not installed"
        {[]() -> std::unique_ptr<AutoObject> { throw Error(-2147024891, "Access is denied."); }, "Marlet",
         "-2147024891: Access is denied."},
    };
    enableLog(true);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        w.boxes.clear();
        if (row.make) w.classes["Kelvorn.FileTools"] = row.make;
        else w.classes.erase("Kelvorn.FileTools");
        QBMenuListener listener;
        EXPECT_THROW(listener.createFileTools(), Error);
        EXPECT_TRUE(w.boxes.empty());
        EXPECT_THROW(menuEvents().runWaiting(), fake::ProcessEnded);
        ASSERT_EQ(w.boxes.size(), 1u);
        EXPECT_EQ(w.boxes[0].title, row.title);
        if (row.text) {
            EXPECT_EQ(w.boxes[0].text, row.text);
        }
    }
    enableLog(false);
    // The log gives the code as Intuit's and Microsoft's pages do, hex first.
    EXPECT_NE(w.files[logFilePath()].find("the file tools cannot be created: 0x80070005 (-2147024891): Access is denied."),
              std::string::npos);
}

// The same entry on the same record in the same file, picked again while the
// first pick waits, runs once; other picks keep their places.
TEST_F(ListenerTest, IdenticalWaitingPicksRunOnce) {
    const std::string customer = "<CurrentWindow><ListType>Customer</ListType><ListID>80000003-1165000003</ListID></CurrentWindow>";
    QBMenuListener listener;
    listener.createFileTools();
    enableLog(true);
    for (const std::string& window : {kInvoice, kInvoice, customer, kInvoice}) listener.inform(menuEvent("scan", window));
    listener.inform(menuEvent("scan", kInvoice, "C:\\Copy of sample.qbw"));  // another file: another pick
    menuEvents().runWaiting();
    listener.inform(menuEvent("scan", kInvoice));  // once the first ran: a new pick
    menuEvents().runWaiting();
    const std::string invoice = scanCommandLine(*gOptions, {"Abercrombie, Kristy:Family Room", "Invoice", "1001", "Cabinet deposit"});
    std::vector<std::string> lines;
    for (const fake::Started& s : w.started) lines.push_back(s.commandLine);
    EXPECT_EQ(lines, (std::vector<std::string>{invoice, scanCommandLine(*gOptions, {"Sam \"Ace\" Rivera", "", "", ""}), invoice}));
    EXPECT_EQ(w.boxes.size(), 1u);  // the copy's pick: not the file open
    EXPECT_NE(w.files[logFilePath()].find("merged with the same pick, still waiting: menu event \"scan\""),
              std::string::npos);
    enableLog(false);
}

// The server hears of work left once its hooks are set, before push returns,
// and of each such piece's end, however it ended; work left earlier runs untold.
namespace {
int gArrived, gFinished;
}
TEST(EventQueue, TheServerHearsOfTheWorkLeftAfterItsHooksAndOfItsEnd) {
    fake::install();
    gArrived = gFinished = 0;
    EventQueue& queue = menuEvents();
    std::vector<int> finishedBefore;  // what each piece saw when it ran
    queue.push([&] { finishedBefore.push_back(gFinished); });
    EXPECT_EQ(gArrived, 0);
    queue.setHooks([] { gArrived++; }, [] { gFinished++; });
    queue.push([&] { finishedBefore.push_back(gFinished); });
    EXPECT_EQ(gArrived, 1);
    queue.push([] { throw Error(5, "failed"); });
    EXPECT_THROW(queue.runWaiting(), Error);
    EXPECT_EQ(finishedBefore, (std::vector<int>{0, 0}));
    EXPECT_EQ(gFinished, 2);
}

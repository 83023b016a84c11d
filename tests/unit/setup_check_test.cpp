// marlet.exe /check on the fake platform, with QuickBooks played by the
// request-processor stand-in: each check passing and failing, with its advice.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "app/app.h"
#include "app/log.h"
#include "commands/menu_commands.h"
#include "commands/setup_check.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "standin_processor.h"

using namespace marlet;
using namespace marlet::testing;

namespace {

const std::string kUserIni = "C:\\Users\\ann\\AppData\\Local\\Marlet\\dxqb.ini";
const std::string kRP = "QBXMLRP2.RequestProcessor";
const std::string kRPClsid = "{71F531F5-8E67-4A7A-9161-15733FFC3206}";
const char* const kCheckNames[] = {"Settings", "Dorvex", "Dorvex configurations", "Marlet registration",
                                   "QuickBooks request processor", "Run level", "QuickBooks", "Menu", "Manual"};

struct Nothing : AutoObject {
    Value call(const std::string&, const std::vector<Value>&) override { return {}; }
};

// A request processor whose every call fails with `number`.
struct Failing : AutoObject {
    int32_t number;
    explicit Failing(int32_t n) : number(n) {}
    Value call(const std::string&, const std::vector<Value>&) override { throw Error(number, "refused"); }
};

// A PC where every check passes.
struct Site {
    fake::World& w = fake::install();
    std::shared_ptr<qbrp::Company> company = marlet::testing::serveStandIn(w);
    Site() {
        w.files[kIni] = kSettingsText;
        for (const char* f : {"C:\\Dx\\Dorvex.exe", "C:\\Cfg\\qbscan.dxc", "C:\\Cfg\\qbscan_no_txn.dxc",
                              "C:\\Cfg\\qbretrieve.dxc", "C:\\Marlet\\QBManual.pdf"})
            w.files[f] = "";
        auto& own = w.registry[RegistryView::Own];
        own["Marlet.QBMenuListener\\CLSID"] = "{L}";
        own["CLSID\\{L}\\LocalServer32"] = "\"C:\\Marlet\\marlet.exe\"";
        own["Marlet.cmOptions\\CLSID"] = "{O}";
        own["CLSID\\{O}\\LocalServer32"] = "\"c:\\marlet\\MARLET.EXE\"";
        own[kRP + "\\CLSID"] = kRPClsid;
        own["CLSID\\" + kRPClsid + "\\InprocServer32"] = "C:\\QB\\qbxmlrp2.dll";
        w.classes["Kelvorn.FileTools"] = [] { return std::make_unique<Nothing>(); };
        addMenu(appNameString(), appGuidString());
        w.boxes.clear();
    }
};

// A QuickBooks older than the qbXML Marlet asks in: the stand-in's host without 4.0.
struct OlderQuickBooks : StandInProcessor {
    using StandInProcessor::StandInProcessor;
    Value call(const std::string& member, const std::vector<Value>& args) override {
        Value answer = StandInProcessor::call(member, args);
        const std::string newest = "<SupportedQBXMLVersion>4.0</SupportedQBXMLVersion>";
        if (auto* text = std::get_if<std::string>(&answer); text && text->find(newest) != std::string::npos)
            text->erase(text->find(newest), newest.size());
        return answer;
    }
};

// A request processor that refuses the first EndSession asked of it.
struct EndingOnSecondTry : StandInProcessor {
    using StandInProcessor::StandInProcessor;
    bool refused = false;
    Value call(const std::string& member, const std::vector<Value>& args) override {
        if (member == "EndSession" && !std::exchange(refused, true))
            throw Error(int32_t(0x80040401), "Could not access QuickBooks.");
        return StandInProcessor::call(member, args);
    }
};

void withoutRequestProcessor(Site& s) {
    s.w.classes.erase(kRP);
    s.w.registry[RegistryView::Own].erase(kRP + "\\CLSID");
}

// QuickBooks' stored subscription for Marlet, as a QuickBooks that holds another one would keep it.
pugi::xml_node storedMenu(Site& s) {
    return s.company->subscriptions().child("UIExtensionSubscriptions").child("UIExtensionSubscriptionRet");
}

// `member` fails at once with `hresult`, as QuickBooks refuses it.
std::function<void(Site&)> refusing(const char* member, uint32_t hresult) {
    return [=](Site& s) {
        s.company->config.failCall = member;
        s.company->config.failHresult = static_cast<int32_t>(hresult);
    };
}

struct Row {
    const char* name;
    std::function<void(Site&)> fault;
    std::vector<std::string> failing;  // the checks that fail, in order
    std::vector<std::string> inBox;    // pieces of the box's text
};

}  // namespace

TEST(SetupCheck, EachCheckPassesOrFailsWithItsAdviceAndTheOthersStillRun) {
    const std::string startQB = "Start QuickBooks, open the company file and run the check again.";
    const std::string allow = "allow Marlet under Edit > Preferences > Integrated Applications";
    const Row rows[] = {
        {"healthy", [](Site&) {}, {}, {"QuickBooks: passed: QuickBooks Pro 2006 16.0 answers, qbXML 4.0 supported.",
                                       "Run level: passed: Marlet does not run as administrator; QuickBooks is not "
                                       "running in this Windows session.",
                                       "Menu: passed: Marlet's entries are in the QuickBooks File menu, calling "
                                       "Marlet.QBMenuListener.",
                                       "Marlet registration: passed: Marlet.QBMenuListener and Marlet.cmOptions are",
                                       "QuickBooks request processor: passed: QBXMLRP2.RequestProcessor can be created "
                                       "by this 64-bit Marlet."}},
        {"the person's own settings", [](Site& s) { s.w.files[kUserIni] = kSettingsText; }, {},
         {"Settings: passed: " + kUserIni + " (your own settings file), six lines."}},
        // What a folder written with line breaks in it leaves.
        {"a line too many", [](Site& s) { s.w.files[kIni] = kSettingsText + "True\r\n"; }, {"Settings"},
         {"holds 7 lines instead of six. Open Options"}},
        {"a Boolean line Marlet cannot read",
         [](Site& s) { s.w.files[kIni] = "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nyes\r\nFalse\r\nFalse\r\n"; },
         {"Settings"}, {"dxqb.ini (the machine's settings file) line 4 (displayDorvex) reads \"yes\", not True or False."}},
        {"settings a whole line short",
         [](Site& s) { s.w.files[kIni] = kSettingsText.substr(0, kSettingsText.rfind("False\r\n")); }, {"Settings"},
         {"holds 5 lines instead of six. Open Options from the QuickBooks File menu"}},
        {"Dorvex missing", [](Site& s) { s.w.files.erase("C:\\Dx\\Dorvex.exe"); }, {"Dorvex"},
         {"Dorvex: FAILED: C:\\Dx\\Dorvex.exe is not there. In Options, set the Dorvex executable folder to the "
          "folder that holds Dorvex.exe, or install Dorvex."}},
        {"a job file missing", [](Site& s) { s.w.files.erase("C:\\Cfg\\qbretrieve.dxc"); },
         {"Dorvex configurations"},
         {"FAILED: qbretrieve.dxc not in C:\\Cfg\\. In Options, set the configuration folder to the folder that "
          "holds the Dorvex configurations, or restore them from your Dorvex installation."}},
        {"Marlet registered elsewhere",
         [](Site& s) { s.w.registry[RegistryView::Own]["CLSID\\{O}\\LocalServer32"] = "\"C:\\Old\\marlet.exe\""; },
         {"Marlet registration"},
         {"FAILED: Marlet.cmOptions is registered for C:\\Old\\marlet.exe. Run MarletSetup.exe again"}},
        {"request processor of the other build",
         [](Site& s) {
             withoutRequestProcessor(s);
             s.w.registry[RegistryView::Other][kRP + "\\CLSID"] = kRPClsid;
             s.w.registry[RegistryView::Other]["CLSID\\" + kRPClsid + "\\InprocServer32"] = "C:\\QB\\qbxmlrp2.dll";
         },
         {"QuickBooks request processor", "QuickBooks", "Menu"},
         {"registered for 32-bit programs only. Run MarletSetup.exe again: it installs the 32-bit Marlet",
          "QuickBooks: FAILED: 0x800401F3 (-2147221005): Invalid class string. See the request processor's line."}},
        {"no request processor", withoutRequestProcessor, {"QuickBooks request processor", "QuickBooks", "Menu"},
         {"Install or repair QuickBooks, which brings its SDK request processor."}},
        {"QuickBooks not running", [](Site& s) { s.company->config.fault = "qbNotRunning"; },
         {"QuickBooks", "Menu"}, {"QuickBooks: FAILED: 0x80040408 (-2147220472): Could not start QuickBooks. " + startQB}},
        // The check takes the lookups' road: a refusal only OpenConnection2 meets fails it, not the menu's line.
        {"only the lookups' connection refused", refusing("OpenConnection2", 0x80040408), {"QuickBooks"},
         {"QuickBooks: FAILED: 0x80040408 (-2147220472): Could not start QuickBooks. " + startQB}},
        {"another application has the single-user file", refusing("BeginSession", 0x80040422), {"QuickBooks"},
         {"0x80040422 (-2147220446): This QuickBooks company file is open in single user mode and another "
          "application is already accessing it. Close the other program that is working with the company file "
          "(QuickBooks has it open for one user), then run the check again."}},
        // A session QuickBooks will not end at first fails the check that opened it.
        {"session not ended at first",
         [](Site& s) { s.w.classes[kRP] = [c = s.company] { return std::make_unique<EndingOnSecondTry>(c); }; },
         {"QuickBooks"}, {"QuickBooks: FAILED: 0x80040401 (-2147220479): Could not access QuickBooks. Close QuickBooks"}},
        {"QuickBooks cannot be reached", refusing("OpenConnection", 0x80040401), {"Menu"},
         {"Menu: FAILED: 0x80040401 (-2147220479): Could not access QuickBooks. Close QuickBooks, start it again"}},
        {"unexpected SDK error", refusing("ProcessRequest", 0x80040402), {"QuickBooks"},
         {"Check the qbsdklog.txt file for possible, additional information. See QuickBooks' SDK log, qbsdklog.txt"}},
        {"Marlet elevated, QuickBooks not",
         [](Site& s) {
             s.w.ownLevel = RunLevel::Elevated;
             s.w.processes = {{"QBW32.EXE", RunLevel::Standard}};
         },
         {"Run level"},
         {"Run level: FAILED: Marlet runs as administrator, QuickBooks does not. Run the check again without Run as "
          "administrator"}},
        // Another user's QuickBooks on the same server, and one whose level cannot be read, are left out.
        {"QuickBooks elevated, Marlet not",
         [](Site& s) {
             s.w.processes = {{"QBW32.EXE", RunLevel::Standard, false}, {"QBW.EXE", RunLevel::Unknown},
                              {"QBW.EXE", RunLevel::Elevated}};
         },
         {"Run level"},
         {"FAILED: QuickBooks runs as administrator, Marlet does not. Start QuickBooks without Run as administrator "
          "(and without it in its shortcut's Compatibility settings), then run the check again."}},
        {"both elevated",
         [](Site& s) {
             s.w.ownLevel = RunLevel::Elevated;
             s.w.processes = {{"QBW32.EXE", RunLevel::Standard, false}, {"QBW32.EXE", RunLevel::Elevated}};
         },
         {}, {"Run level: passed: Marlet and QuickBooks both run as administrator."}},
        {"only another session's QuickBooks",
         [](Site& s) {
             s.w.ownLevel = RunLevel::Elevated;
             s.w.processes = {{"QBW.EXE", RunLevel::Standard, false}};
         },
         {}, {"Run level: passed: Marlet runs as administrator; QuickBooks is not running in this Windows session."}},
        {"QuickBooks' level unreadable",
         [](Site& s) { s.w.processes = {{"QBW32.EXE", RunLevel::Unknown}, {"QBW.EXE", RunLevel::Elevated, false}}; },
         {"Run level"},
         {"Run level: FAILED: Marlet does not run as administrator; QuickBooks runs, but whether as administrator "
          "cannot be read. In Task Manager's Details tab, show the Elevated column and check that QuickBooks and "
          "marlet.exe read the same;"}},
        {"neither elevated", [](Site& s) { s.w.processes = {{"QBW32.EXE", RunLevel::Standard}}; }, {},
         {"Run level: passed: neither Marlet nor QuickBooks runs as administrator."}},
        {"access denied", [](Site& s) { s.company->config.fault = "connectionRefused"; }, {"QuickBooks", "Menu"},
         {"The QuickBooks user has denied access. In QuickBooks, as the Administrator, " + allow}},
        {"first access needs single-user mode",
         [](Site& s) { s.w.classes[kRP] = [] { return std::make_unique<Failing>(int32_t(0x80040418)); }; },
         {"QuickBooks", "Menu"},
         {"Open the company file in QuickBooks as the Administrator in single-user mode, run the check again and "
          "allow Marlet access when QuickBooks asks."}},
        {"request fails inside the session", [](Site& s) { s.company->config.fault = "requestFails"; },
         {"QuickBooks", "Menu"}, {"QuickBooks stopped responding before the request was processed."}},
        {"a failure the check knows no advice for",
         [](Site& s) { s.w.classes[kRP] = [] { return std::make_unique<Failing>(int32_t(0x80004005)); }; },
         {"QuickBooks", "Menu"},
         {"QuickBooks: FAILED: 0x80004005 (-2147467259): refused. Check that QuickBooks runs with the company file "
          "open, then run the check again."}},
        {"host query refused", [](Site& s) { s.company->config.failRequest = "HostQueryRq"; }, {"QuickBooks"},
         {"QuickBooks did not describe itself (1000: There has been an internal error",
          "Restart QuickBooks and run the check again."}},
        {"QuickBooks older than qbXML 4.0",
         [](Site& s) { s.w.classes[kRP] = [c = s.company] { return std::make_unique<OlderQuickBooks>(c); }; },
         {"QuickBooks"},
         {"QuickBooks: FAILED: QuickBooks Pro 2006 16.0 answers, but takes qbXML 1.0, 1.1, 2.0, 2.1, 3.0, not 4.0. "
          "Update QuickBooks to a release that takes qbXML 4.0 (2005 or later)."}},
        {"menu not subscribed", [](Site& s) { s.company->subscriptions().reset(); }, {"Menu"},
         {"Menu: FAILED: Marlet's entries are not in the QuickBooks File menu (1: A query request did not find a "
          "matching object in QuickBooks). Use Add Menu in Options"}},
        {"another program's callback",
         [](Site& s) { storedMenu(s).child("COMCallbackInfo").child("ProgID").text().set("Other.Listener"); },
         {"Menu"},
         {"Menu: FAILED: QuickBooks holds a menu under Marlet's name, but it calls Other.Listener instead of "
          "Marlet.QBMenuListener. Use Remove Menu and then Add Menu in Options"}},
        {"a class called by its CLSID",
         [](Site& s) {
             pugi::xml_node callback = storedMenu(s).child("COMCallbackInfo");
             callback.remove_child("ProgID");
             callback.append_child("CLSID").text().set("{C}");
         },
         {"Menu"}, {"but it calls the class {C} instead of Marlet.QBMenuListener."}},
        {"entries not Marlet's",
         [](Site& s) {
             // Every text in place, one tag not: the event would lead nowhere.
             pugi::xml_node submenu = storedMenu(s).child("MenuExtensionSubscription").child("Submenu");
             submenu.first_child().child("EventTag").text().set("scan2");
         },
         {"Menu"},
         {"but its entries are Scan Documents (scan2), Retrieve Documents (retrieve), Options (options), Manual "
          "(manual) instead of Scan Documents (scan), Retrieve Documents (retrieve), Options (options), Manual (manual)."}},
        {"an entry short",
         [](Site& s) {
             pugi::xml_node submenu = storedMenu(s).child("MenuExtensionSubscription").child("Submenu");
             submenu.remove_child(submenu.last_child());
         },
         {"Menu"}, {"but its entries are Scan Documents (scan), Retrieve Documents (retrieve), Options (options) instead"}},
        {"FileTools missing", [](Site& s) { s.w.classes.erase("Kelvorn.FileTools"); }, {"Manual"},
         {"Kelvorn.FileTools cannot be created (0x800401F3 (-2147221005): Invalid class string). Install Dorvex again"}},
        {"manual missing", [](Site& s) { s.w.files.erase("C:\\Marlet\\QBManual.pdf"); }, {"Manual"},
         {"C:\\Marlet\\QBManual.pdf is not there. Run MarletSetup.exe again"}},
        {"FileTools and manual missing",
         [](Site& s) {
             s.w.classes.erase("Kelvorn.FileTools");
             s.w.files.erase("C:\\Marlet\\QBManual.pdf");
         },
         {"Manual"},
         {"Invalid class string); C:\\Marlet\\QBManual.pdf is not there. Install Dorvex again, then run "
          "MarletSetup.exe again."}},
        {"settings given by policy, one of them unusable",
         [](Site& s) {
             s.w.values["HKLM\\SOFTWARE\\Policies\\Marlet\\dxPath"] = {RegType::Sz, "C:\\Dx", 0};
             s.w.values["HKCU\\SOFTWARE\\Policies\\Marlet\\promptMemo"] = {RegType::Dword, "", 7};
         },
         {"Settings"},
         {"six lines; dxPath set by policy; policy value "
          "HKCU\\SOFTWARE\\Policies\\Marlet\\promptMemo ignored: 7 is not 0 or 1. Correct each policy value named "
          "(a REG_DWORD 0 or 1 for a choice, a REG_SZ folder on one line for a folder) or remove it."}},
        {"a policy's folder without the configurations",
         [](Site& s) { s.w.values["HKCU\\SOFTWARE\\Policies\\Marlet\\configPath"] = {RegType::Sz, "D:\\Jobs\\", 0}; },
         {"Dorvex configurations"},
         {"not in D:\\Jobs\\. The folder comes from the policy value configPath under SOFTWARE\\Policies\\Marlet: "
          "have your administrator set it to the folder that holds the Dorvex configurations"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Site s;
        row.fault(s);
        int exit = runMain(s.w, "/check");
        EXPECT_EQ(exit, row.failing.empty() ? kExitOk : kExitCheckFailed);
        ASSERT_EQ(s.w.boxes.size(), 1u);
        const fake::Box& box = s.w.boxes[0];
        EXPECT_EQ(box.title, kSetupCheckTitle);
        EXPECT_EQ(box.style, row.failing.empty() ? BoxStyle::OkOnly : BoxStyle::Exclamation);
        // One line per check, in order, each passed but the failing ones.
        std::vector<std::string> failing;
        size_t at = 0;
        for (const char* name : kCheckNames) {
            size_t end = box.text.find("\r\n", at);
            std::string line = box.text.substr(at, end - at);
            EXPECT_EQ(line.rfind(std::string(name) + ": ", 0), 0u) << line;
            if (line.find(": FAILED: ") != std::string::npos) failing.push_back(name);
            at = end == std::string::npos ? box.text.size() : end + 2;
        }
        EXPECT_EQ(at, box.text.size());
        EXPECT_EQ(failing, row.failing);
        for (const std::string& piece : row.inBox) EXPECT_NE(box.text.find(piece), std::string::npos) << box.text;
        // Every connection opened is closed once, and every processor let go closed.
        int opened = 0, closes = 0;
        for (const qbrp::LogEntry& e : s.company->log) {
            opened += !e.failed && (e.call == "OpenConnection" || e.call == "OpenConnection2");
            closes += e.call == "CloseConnection";
            if (e.call == "Release") {
                EXPECT_EQ(e.args, std::vector<std::string>{"closed"});
            }
        }
        EXPECT_EQ(closes, opened);
    }
}

// Quiet: no box, the result in the exit code. Interactive: a check that
// hangs is bounded, and the bound is off once every check has ended.
TEST(SetupCheck, QuietRunsLogAndAHangingCheckIsBounded) {
    {
        Site s;
        s.company->config.fault = "qbNotRunning";
        EXPECT_EQ(runMain(s.w, "/check /quiet"), kExitCheckFailed);
        EXPECT_TRUE(s.w.boxes.empty());
        EXPECT_NE(s.w.files[logFilePath()].find("set-up check: QuickBooks: FAILED: 0x80040408"), std::string::npos);
        EXPECT_EQ(s.w.watchdogSeconds, kQuietTimeLimitSeconds);
    }
    {
        Site s;
        EXPECT_EQ(runMain(s.w, "/check"), kExitOk);
        EXPECT_EQ(s.w.watchdogSeconds, kSetupCheckTimeLimitSeconds);
        s.w.onTimeout();  // after the checks: nothing happens
        EXPECT_EQ(s.w.boxes.size(), 1u);
    }
    {
        // QuickBooks does not answer: the time runs out while its check waits.
        struct Hanging : AutoObject {
            Value call(const std::string&, const std::vector<Value>&) override {
                EXPECT_THROW(fake::world().onTimeout(), fake::ProcessEnded);
                throw Error(-1, "ended");
            }
        };
        Site s;
        s.w.classes[kRP] = [] { return std::make_unique<Hanging>(); };
        runMain(s.w, "/check");
        ASSERT_FALSE(s.w.boxes.empty());
        EXPECT_EQ(s.w.boxes[0].title, kSetupCheckTitle);
        EXPECT_EQ(s.w.boxes[0].text.rfind("The set-up check stopped: the check \"QuickBooks\" did not finish within "
                                          "300 seconds.", 0),
                  0u);
        EXPECT_EQ(s.w.exitCode, kExitTimedOut);
    }
}

// The customer and transaction lookups on the real road: the host stand-in
// fires menu events at the sandbox's marlet.exe, which asks the registered
// request-processor stand-in and starts the Dorvex stand-in. Also the whole
// menu's life: /install, a pick from the host's File menu, /uninstall.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"

using namespace bench;

namespace {

const std::string kGuid = "{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}";

struct Lookups : ::testing::Test {
    Sandbox box;
    QuickBooks qb{box};
    Lookups() {
        EXPECT_TRUE(qb.registered());
        box.installDorvex();
        setPromptMemo(false);
        installFileTools(box);
        registerMarlet(box);
    }
    ~Lookups() override {
        unregisterMarlet(box);
        uninstallFileTools(box);
    }
    void setPromptMemo(bool on) {
        box.writeIni("False\r\n" + box.pathUtf8(L"Dx") + "\\\r\n" + box.pathUtf8(L"Cfg") + "\\\r\nFalse\r\n" +
                     (on ? "True" : "False") + "\r\nFalse\r\n");
    }
    HostRun fire(const std::wstring& events, const DialogHandler& onDialog = pressFirstButton) {
        HostRun r = runHost(box, L"--progid=Marlet.QBMenuListener " + events, onDialog);
        EXPECT_FALSE(r.timedOut);
        for (const HostCall& c : r.calls) EXPECT_EQ(c.hr, S_OK) << c.event << ": " << c.description;
        return r;
    }
    std::string dorvex() const { return box.pathUtf8(L"Dx") + "\\Dorvex.exe"; }
    std::string scan(const std::string& values) const {
        return dorvex() + " /c:\"" + box.pathUtf8(L"Cfg") + "\\qbscan.dxc\"" + values;
    }
    std::string customerScan(const std::string& name, const std::string& memo) const {
        return dorvex() + " /c:\"" + box.pathUtf8(L"Cfg") + "\\qbscan_no_txn.dxc\" /1:\"" + name + "\" /4:\"" +
               memo + "\"";
    }
    std::string retrieve(const std::string& values = "") const {
        return dorvex() + " /c:\"" + box.pathUtf8(L"Cfg") + "\\qbretrieve.dxc\"" + values;
    }
    // The Dorvex records read so far; one still being written is read again later.
    std::vector<Launch> readLaunches() const {
        for (int attempt = 0; attempt < 20; attempt++) {
            try {
                return box.launches();
            } catch (const std::exception&) {
                Sleep(50);
            }
        }
        return box.launches();
    }
    // Dorvex is not waited for, so its records may come in any order.
    std::vector<std::string> launched(size_t expected) const {
        std::vector<Launch> found;
        for (int waited = 0; waited <= 10000; waited += 50) {
            found = readLaunches();
            if (found.size() >= expected) break;
            Sleep(50);
        }
        std::vector<std::string> lines;
        for (const Launch& l : found) lines.push_back(l.commandLine);
        Sleep(300);
        if (readLaunches().size() != lines.size()) lines.push_back("<more launches>");
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    static std::vector<std::string> sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
};

bool showsExclamation(const Dialog& d) { return d.icon == Icon::Exclamation; }

void expectErrorBox(const Dialog& d, const std::string& text) {
    EXPECT_EQ(d.title, "Error");
    EXPECT_EQ(d.text, text);
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    EXPECT_NE(d.icon, Icon::None);
}

// Checks the icon while the box is still up, then presses OK.
DialogHandler checkingIcons(int* exclamations) {
    return [=](const Dialog& d) {
        if (showsExclamation(d)) ++*exclamations;
        pressFirstButton(d);
    };
}

// Types `memo` into the memo prompt and presses OK (or Cancel when `cancel`).
DialogHandler memoTyped(const std::string& memo, bool cancel = false, int* prompts = nullptr) {
    return [=](const Dialog& d) {
        if (d.title != "Enter Memo") return pressFirstButton(d);
        if (prompts) ++*prompts;
        typeText(findChild(d.hwnd, "Edit"), memo);
        pressButton(d.hwnd, cancel ? "Cancel" : "OK");
    };
}

}  // namespace

TEST_F(Lookups, TransactionWithRefNumberAndMemoOneSessionEach) {
    HostRun r = fire(L"scan@txn:Invoice:1A-1165000101 retrieve@txn:Invoice:1A-1165000101");
    EXPECT_TRUE(r.dialogs.empty());
    const std::string values = " /1:\"Abercrombie, Kristy:Family Room\" /2:\"Invoice\" /3:\"1001\" /4:\"Cabinet deposit\"";
    EXPECT_EQ(launched(2), sorted({scan(values), retrieve(values)}));

    std::vector<qbrp::LogEntry> log = qb.log();
    ASSERT_EQ(log.size(), 12u);
    for (size_t i = 0; i < 12; i += 6) {
        EXPECT_EQ(log[i].call, "OpenConnection2");
        EXPECT_EQ(log[i].args, (std::vector<std::string>{kGuid, "Marlet", "3"}));
        EXPECT_EQ(log[i + 1].call, "BeginSession");
        EXPECT_EQ(log[i + 1].args, (std::vector<std::string>{"", "2"}));
        EXPECT_EQ(log[i + 2].request,
                  "<?xml version=\"1.0\" ?>\n<?qbxml version=\"4.0\"?>\n<QBXML>\n"
                  "  <QBXMLMsgsRq onError=\"continueOnError\">\n    <TransactionQueryRq>\n"
                  "      <TxnID>1A-1165000101</TxnID>\n    </TransactionQueryRq>\n  </QBXMLMsgsRq>\n</QBXML>\n");
        EXPECT_FALSE(log[i + 2].failed);
        EXPECT_EQ(log[i + 3].call, "EndSession");
        EXPECT_EQ(log[i + 4].call, "CloseConnection");
        EXPECT_EQ(log[i + 5].call, "Release");
        EXPECT_EQ(log[i + 5].args[0], "closed");
    }
}

TEST_F(Lookups, MissingRefNumberOrMemo) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    HostRun r = fire(L"scan@txn:Invoice:1B-1165000102 retrieve@txn:Invoice:1B-1165000102 "
                     L"scan@txn:Bill:1C-1165000103 retrieve@txn:Bill:1C-1165000103");
    EXPECT_TRUE(r.dialogs.empty());
    std::vector<std::string> lines = launched(4);
    ASSERT_EQ(lines.size(), 4u);
    // The scan without RefNumber carries the local date and time as MM-DD-YYYY HH.MM.SS.
    std::string stampedScan;
    for (const std::string& l : lines)
        if (l.find("qbscan.dxc") != std::string::npos && l.find("Rivera") != std::string::npos) stampedScan = l;
    size_t at = stampedScan.find("/3:\"");
    ASSERT_NE(at, std::string::npos) << stampedScan;
    std::string stamp = stampedScan.substr(at + 4, 19);
    char date[16];
    snprintf(date, sizeof date, "%02d-%02d-%04d ", before.wMonth, before.wDay, before.wYear);
    EXPECT_EQ(stamp.substr(0, 11), date) << stamp;
    EXPECT_TRUE(stamp[13] == '.' && stamp[16] == '.' && isdigit(stamp[11]) && isdigit(stamp[18])) << stamp;
    std::string ace = "Sam \"Ace\" Rivera", memo = "Ask for \"Ace\" on site";
    EXPECT_EQ(stampedScan, scan(" /1:\"" + ace + "\" /2:\"Invoice\" /3:\"" + stamp + "\" /4:\"" + memo + "\""));
    EXPECT_EQ(lines, sorted({stampedScan, retrieve(" /1:\"" + ace + "\" /2:\"Invoice\" /4:\"" + memo + "\""),
                             scan(" /1:\"Pacific Power & Light\" /2:\"Bill\" /3:\"PPL-0307\" /4:\"\""),
                             retrieve(" /1:\"Pacific Power & Light\" /2:\"Bill\" /3:\"PPL-0307\"")}));
}

TEST_F(Lookups, NamesReachDorvexUnchanged) {
    HostRun r = fire(L"retrieve@customer:80000004-1165000004 scan@txn:SalesReceipt:1F-1165000106 "
                     L"retrieve@txn:Invoice:21-1165000108 scan@customer:80000006-1165000006");
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_EQ(launched(4),
              sorted({retrieve(" /1:\"  Lindqvist Marine  \""),
                      scan(" /1:\"山田商事株式会社\" /2:\"SalesReceipt\" /3:\"3001\" /4:\"月次請求\""),
                      retrieve(" /1:\"Café Müller & Söhne:Küche <Phase 2>\" /2:\"Invoice\" /3:\"1002\" "
                               "/4:\"Tiles & grout <urgent>\""),
                      customerScan("Café Müller & Söhne:Küche <Phase 2>", "")}));
}

TEST_F(Lookups, CustomerScanMemoPrompt) {
    setPromptMemo(true);
    int prompts = 0;
    std::vector<std::string> callsAtPrompt;
    DialogHandler typed = memoTyped("Lease \"B\" — 2 pages", false, &prompts);
    HostRun r = fire(L"scan@customer:80000003-1165000003", [&](const Dialog& d) {
        callsAtPrompt = qb.calls();
        typed(d);
    });
    EXPECT_EQ(prompts, 1);
    ASSERT_EQ(r.dialogs.size(), 1u);
    EXPECT_EQ(r.dialogs[0].buttons, (std::vector<std::string>{"OK", "Cancel"}));
    // QuickBooks had answered and the connection was closed before the prompt.
    ASSERT_GE(callsAtPrompt.size(), 5u);
    EXPECT_EQ(callsAtPrompt[4], "CloseConnection");
    EXPECT_EQ(launched(1), (std::vector<std::string>{customerScan("Sam \"Ace\" Rivera", "Lease \"B\" — 2 pages")}));

    HostRun cancelled = fire(L"scan@customer:80000003-1165000003 retrieve@customer:80000003-1165000003",
                             memoTyped("typed then cancelled", true, &prompts));
    EXPECT_EQ(prompts, 2);  // the retrieval asks for nothing
    std::vector<std::string> lines = launched(3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), customerScan("Sam \"Ace\" Rivera", "")), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), retrieve(" /1:\"Sam \"Ace\" Rivera\"")), 1);
}

TEST_F(Lookups, CustomerScanWithoutPromptHasEmptyValues) {
    HostRun r = fire(L"scan@customer:80000001-1165000001");
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_EQ(launched(1), (std::vector<std::string>{customerScan("Abercrombie, Kristy", "")}));
}

TEST_F(Lookups, UnknownIdentifierAndMissingEntityRefAreOneErrorEach) {
    setPromptMemo(true);
    int exclamations = 0;
    HostRun r = fire(L"scan@customer:80000099-0 retrieve@txn:Invoice:FF-0 scan@txn:JournalEntry:1E-1165000105",
                     checkingIcons(&exclamations));
    ASSERT_EQ(r.dialogs.size(), 3u);  // no memo prompt among them
    EXPECT_EQ(exclamations, 3);
    expectErrorBox(r.dialogs[0],
                   "QuickBooks returned no record. The query request has not been fully completed. There was "
                   "a required element (\"80000099-0\") that could not be found in QuickBooks.");
    EXPECT_EQ(r.dialogs[1].title, "Error");
    expectErrorBox(r.dialogs[2], "The TransactionRet that QuickBooks returned has no EntityRef/FullName.");
    EXPECT_EQ(launched(0), std::vector<std::string>{});
}

TEST_F(Lookups, DorvexMissingIsFileNotFoundUnderError) {
    DeleteFileW(box.path(L"Dx\\Dorvex.exe").c_str());
    int exclamations = 0;
    HostRun r = fire(L"retrieve@txn:Invoice:1A-1165000101", checkingIcons(&exclamations));
    ASSERT_EQ(r.dialogs.size(), 1u);
    expectErrorBox(r.dialogs[0], "File not found");
    EXPECT_EQ(exclamations, 1);
}

TEST_F(Lookups, EachFaultIsOneErrorAndNothingLaunched) {
    const char* faults[] = {"fault = qbNotRunning",    "fault = connectionRefused", "fault = sessionRefused",
                            "fault = requestFails",    "fault = emptyAnswer",       "fault = malformedAnswer",
                            "dropElement = TxnType"};
    // One host run per fault: the stand-in reads its configuration as each processor is created.
    for (const char* fault : faults) {
        qb.configure(std::string(fault) + "\n");
        int exclamations = 0;
        HostRun r = fire(L"scan@txn:Invoice:1A-1165000101", checkingIcons(&exclamations));
        ASSERT_EQ(r.dialogs.size(), 1u) << fault;
        EXPECT_EQ(exclamations, 1) << fault;
        EXPECT_EQ(r.dialogs[0].title, "Error") << fault;
        EXPECT_NE(r.dialogs[0].icon, Icon::None) << fault;
        EXPECT_FALSE(r.dialogs[0].text.empty()) << fault;
        std::vector<qbrp::LogEntry> log = qb.log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log.back().call, "Release") << fault;
        const qbrp::LogEntry& last = log[log.size() - 2];
        if (last.failed) EXPECT_EQ(r.dialogs[0].text, last.error) << fault;
        // no further call after the failing one
        EXPECT_TRUE(last.failed || last.call == "ProcessRequest" || last.call == "CloseConnection") << fault;
    }
    EXPECT_EQ(launched(0), std::vector<std::string>{});
}

TEST_F(Lookups, InstallPickFromTheHostMenuUninstall) {
    RunResult install = box.runMarlet(L"/install");
    ASSERT_EQ(install.dialogs.size(), 1u);
    EXPECT_EQ(install.dialogs[0].title, "Menu Added");

    // The host builds its File menu from the stored subscription.
    HostRun picked = runHost(box, L"\"menu:Retrieve Documents@none\"");
    EXPECT_FALSE(picked.timedOut);
    ASSERT_EQ(picked.calls.size(), 1u);
    EXPECT_EQ(picked.calls[0].hr, S_OK) << picked.calls[0].description;
    EXPECT_EQ(launched(1), (std::vector<std::string>{retrieve()}));

    RunResult uninstall = box.runMarlet(L"/uninstall");
    ASSERT_EQ(uninstall.dialogs.size(), 1u);
    EXPECT_EQ(uninstall.dialogs[0].title, "Menu Removed");
    HostRun gone = runHost(box, L"--list");
    EXPECT_TRUE(gone.calls.empty());
    EXPECT_TRUE(box.readFile(L"qbhost-out.txt").empty());
    HostRun notThere = runHost(box, L"\"menu:Retrieve Documents@none\"");
    EXPECT_NE(notThere.exitCode, 0u);
}

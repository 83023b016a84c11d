// Menu events through real COM, as QuickBooks sends them: the host stand-in
// activates the sandbox's marlet.exe out of process and calls inform; the
// server asks the request-processor stand-in and starts the Dorvex stand-in.
// What the fake platform cannot show: activation, marshalling, HRESULTs with
// their descriptions, the server's lifetime, the boxes as drawn.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "qb_standin.h"
#include "qbhost_driver.h"
#include "standins/qbhost/qb_event_callback.h"

using namespace harness;

namespace {

const std::string kInvoice = " /1:\"Abercrombie, Kristy:Family Room\" /2:\"Invoice\" /3:\"1001\" /4:\"Cabinet deposit\"";

struct ComEvent : ::testing::Test {
    Sandbox box;
    QuickBooks qb{box};
    ComEvent() {
        EXPECT_TRUE(qb.registered());
        box.installDorvex();
        box.writeIni(box.ini().text());
        installFileTools(box);
        registerMarlet(box);
    }
    ~ComEvent() override {
        unregisterMarlet(box);
        uninstallFileTools(box);
    }
    HostRun fire(const std::wstring& events, const DialogHandler& onDialog = pressFirstButton) {
        HostRun r = runHost(box, L"--progid=Marlet.QBMenuListener " + events, onDialog);
        EXPECT_FALSE(r.timedOut);
        EXPECT_TRUE(waitForMarletExit(box)) << "the server outlived its last listener";
        return r;
    }
};

void expectBox(const Dialog& d, const std::string& title, const std::string& text, Icon icon) {
    EXPECT_EQ(d.title, title);
    EXPECT_EQ(d.text, text);
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(d.icon, icon);
}

}  // namespace

// One server, started by the first event, runs Main first (the file it read is
// written back in the program's words, and a scan carries its /s), serves every
// road of an event and ends after its last listener.
TEST_F(ComEvent, OneServerServesEveryKindOfEvent) {
    box.writeIni("true\r\n" + box.ini().dx + "\r\n" + box.ini().config + "\r\n");
    box.writeFile(L"cut.xml", "<?xml version=\"1.0\"?><QBXML><QBXMLEvents><UIExtensionEvent><EventTag>retrieve");
    bool optionsShown = false;
    HostRun r = fire(L"scan@txn:Invoice:1A-1165000101 scan@txn:SalesReceipt:1F-1165000106 "
                     L"retrieve@txn:Invoice:FF-0 scan@none manual options xml=cut.xml retrieve",
                     [&](const Dialog& d) {
                         if (d.title == "Options" && pressButton(d.hwnd, "Cancel")) optionsShown = true;
                         else pressFirstButton(d);
                     });
    EXPECT_EQ(r.exitCode, 1u);
    ASSERT_EQ(r.calls.size(), 8u);
    for (size_t i : {0, 1, 2, 3, 4, 5, 7}) EXPECT_EQ(r.calls[i].hr, S_OK) << r.calls[i].event;  // 4: no manual, its box after
    EXPECT_EQ(r.calls[6].hr, E_INVALIDARG);

    ASSERT_EQ(r.dialogs.size(), 4u);
    expectBox(r.dialogs[0], "Error",
              "QuickBooks returned no record. The query request has not been fully completed. There was a required "
              "element (\"FF-0\") that could not be found in QuickBooks.",
              Icon::Exclamation);
    expectBox(r.dialogs[1], "Information not found", "Please open a customer or recorded transaction.", Icon::None);
    EXPECT_EQ(r.dialogs[2].title, "Marlet");  // the file tools found no manual
    EXPECT_TRUE(optionsShown);

    std::vector<std::string> expected = {
        box.dorvexLine("qbscan", kInvoice + " /s"),
        box.dorvexLine("qbscan", " /1:\"山田商事株式会社\" /2:\"SalesReceipt\" /3:\"3001\" /4:\"月次請求\" /s"),
        box.dorvexLine("qbretrieve")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(launchedLines(box, 3), expected);
    std::vector<std::string> log = fileToolsLog(box);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "StartDoc 1 " + box.pathUtf8(L"QBManual.pdf") + " missing");
    Ini rewritten = box.ini();
    rewritten.twain = true;
    EXPECT_EQ(box.readIni(), rewritten.text());
}

// Marlet's log as support reads it after a scan on an invoice: the server's
// start, the event and its window, QuickBooks' answer, the Dorvex command line,
// the box shown. A log that cannot be written (a folder stands where the file
// would be) changes nothing the user sees or gets.
TEST_F(ComEvent, TheLogFollowsAScanAndAnUnwritableLogChangesNothing) {
    wchar_t local[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    const std::wstring logFile = std::wstring(local) + L"\\Marlet\\marlet.log";
    const std::wstring events = L"scan@txn:Invoice:1A-1165000101 scan@none";
    HostRun logged = fire(events);
    const std::string log = readWholeFile(logFile);
    const std::string steps[] = {
        "Embedding", "menu event \"scan\", open window: transaction Invoice 1A-1165000101",
        "QuickBooks answer TransactionQueryRs: statusCode 0",
        "starting " + box.pathUtf8(L"Dx") + "\\Dorvex.exe with: " + box.dorvexLine("qbscan", kInvoice),
        "box: Information not found: Please open a customer or recorded transaction. -> OK"};
    size_t at = 0;
    for (const std::string& step : steps) {
        at = log.find(step, at);
        ASSERT_NE(at, std::string::npos) << step << "\n" << log;
    }

    DeleteFileW(logFile.c_str());
    ASSERT_TRUE(CreateDirectoryW(logFile.c_str(), nullptr));
    HostRun unlogged = fire(events);
    RemoveDirectoryW(logFile.c_str());
    ASSERT_EQ(unlogged.calls.size(), logged.calls.size());
    for (size_t i = 0; i < logged.calls.size(); i++) EXPECT_EQ(unlogged.calls[i].hr, logged.calls[i].hr);
    ASSERT_EQ(unlogged.dialogs.size(), 1u);
    EXPECT_EQ(unlogged.dialogs[0].text, logged.dialogs.at(0).text);
    EXPECT_EQ(launchedLines(box, 2), std::vector<std::string>(2, box.dorvexLine("qbscan", kInvoice)));
}

// An event that cannot be read fails inform with its HRESULT and, through
// IDispatch's EXCEPINFO, its description; a failing launch is shown after the
// call has returned, under "Error" when a lookup led to it, else in the generic
// box; a listener that cannot be created (no Kelvorn.FileTools) fails its
// creation, then shows Dorvex's message and ends the server.
TEST_F(ComEvent, FailuresReachQuickBooksOrTheUser) {
    DeleteFileW(box.path(L"Dx\\Dorvex.exe").c_str());
    box.writeFile(L"cut.xml", "<?xml version=\"1.0\"?><QBXML><QBXMLEvents><UIExtensionEvent><EventTag>retrieve");
    bool returnedFirst = false;  // the bare retrieval's box came after its call had returned
    HostRun r = fire(L"--dispatch retrieve@none retrieve@txn:Invoice:1A-1165000101 xml=cut.xml", [&](const Dialog& d) {
        if (d.title == "Marlet")
            returnedFirst = readWholeFile(box.path(L"qbhost-out.txt"), "").rfind("retrieve@none\t0x00000000", 0) == 0;
        pressFirstButton(d);
    });
    EXPECT_EQ(r.exitCode, 1u);
    ASSERT_EQ(r.calls.size(), 3u);
    EXPECT_EQ(r.calls[0].hr, S_OK);
    EXPECT_EQ(r.calls[1].hr, S_OK);
    EXPECT_EQ(r.calls[2].hr, E_INVALIDARG);
    EXPECT_EQ(r.calls[2].description.rfind("The event is not well-formed XML", 0), 0u) << r.calls[2].description;
    ASSERT_EQ(r.dialogs.size(), 2u);
    expectBox(r.dialogs[0], "Marlet", "53: File not found", Icon::None);
    EXPECT_TRUE(returnedFirst);
    expectBox(r.dialogs[1], "Error", "File not found", Icon::Exclamation);

    uninstallFileTools(box);
    bool createdFirst = false;  // the box came after the creation had failed
    r = fire(L"manual", [&](const Dialog& d) {
        createdFirst = readWholeFile(box.path(L"qbhost-out.txt"), "").rfind("create\t", 0) == 0;
        pressFirstButton(d);
    });
    EXPECT_TRUE(createdFirst);
    EXPECT_EQ(r.exitCode, 2u);
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0].event, "create");
    EXPECT_TRUE(FAILED(r.calls[0].hr));
    ASSERT_EQ(r.dialogs.size(), 1u);
    expectBox(r.dialogs[0], "Marlet Error",
              "An error has occured.  This most likely cause of this error is that Dorvex is not installed.\r\n"
              "Please install Dorvex from https://www.dorvex.com before proceeding.",
              Icon::None);
}

// QuickBooks never waits for a person: inform returns while the window it led
// to is still up (held here), a second pick made meanwhile is taken and waits
// its turn, not shown inside that window, and the server ends after it.
TEST_F(ComEvent, InformReturnsWhileTheWindowIsUpAndTheNextPickWaits) {
    struct Row {
        const char* name;
        const wchar_t* first;
        const char* close;  // the button that closes the first window
    };
    const Row rows[] = {
        {"box", L"scan@none", "OK"},
        {"memo prompt", L"scan@customer:80000003-1165000003", "OK"},
        {"Options dialog", L"options", "Cancel"},
    };
    Ini ini = box.ini();
    ini.memo = true;
    box.writeIni(ini.text());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Dialog> seen;
        size_t upTogether = 0;
        HostRun r = fire(std::wstring(L"new ") + row.first + L" after=1000 scan@none", [&](const Dialog& d) {
            seen.push_back(d);
            if (seen.size() == 1) {
                Sleep(2500);  // the person reads; the second pick comes meanwhile
                upTogether = findDialogs().size();
            }
            if (!pressButton(d.hwnd, seen.size() == 1 ? row.close : "OK")) pressFirstButton(d);
        });
        ASSERT_EQ(r.calls.size(), 2u);
        for (const HostCall& c : r.calls) EXPECT_EQ(c.hr, S_OK) << c.event << ": " << c.description;  // none ignored
        EXPECT_TRUE(r.calls[0].ms >= 0 && r.calls[0].ms < 500) << "inform waited for the window: " << r.calls[0].ms;
        EXPECT_EQ(upTogether, 1u) << "the second pick ran inside the first window";
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1].title, "Information not found");
    }
}

// A pick that waited (a box was up) while the person opened another company
// file starts nothing: its lookup finds QuickBooks on the other file and says so.
TEST_F(ComEvent, APickThatWaitedWhileTheCompanyFileChangedStartsNothing) {
    const std::string other = "C:\\CompanyFiles\\Copy-of-sample.QBW";  // the host's tokens hold no blank
    HostRun r = fire(L"new scan@none after=500 scan@txn:Invoice:1A-1165000101 open=" + wide(other),
                     [&](const Dialog& d) {
                         if (d.title == "Information not found") Sleep(2500);  // meanwhile: the pick, the switch
                         pressFirstButton(d);
                     });
    ASSERT_EQ(r.dialogs.size(), 2u);
    const std::string picked = qbrp::kSampleCompanyFile;
    expectBox(r.dialogs[1], "Error",
              "The menu entry was picked in the company file \"" + picked + "\", but QuickBooks now has \"" + other +
                  "\" open, so nothing was started. Please open \"" + picked + "\" and pick the entry again.",
              Icon::Exclamation);
    EXPECT_TRUE(launchedLines(box, 0).empty()) << "Dorvex was started";
}

// Event text as COM hands it over: not UTF-16 (unpaired surrogates arrive as
// U+FFFD, so such a tag is not ours), no text at all, an odd byte length, and
// 16 MB documents. No box, no crash, and ordinary events are still served.
TEST_F(ComEvent, EventTextOfAnyShapeAndSize) {
    runHost(box, L"--install");  // the event library, so COM marshals IQBEventCallback
    auto event = [](const std::wstring& tag, const std::wstring& inside = L"") {
        return L"<?xml version=\"1.0\"?><?qbxml version=\"4.0\"?><QBXML><QBXMLEvents><UIExtensionEvent>"
               L"<SubscriberID>{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}</SubscriberID>" +
               inside + L"<EventTag>" + tag + L"</EventTag></UIExtensionEvent></QBXMLEvents></QBXML>";
    };
    auto bstr = [](const std::wstring& t) { return SysAllocStringLen(t.data(), static_cast<UINT>(t.size())); };
    std::wstring padding;
    while (padding.size() < 16 * 1024 * 1024) padding += L"<HostInfo><Country>US</Country></HostInfo>";
    const std::wstring retrieve = event(L"retrieve");
    std::vector<BSTR> texts = {
        bstr(event(std::wstring(L"retrieve") + L'\xD800')),
        bstr(event(std::wstring(L"retri") + L'\xDC00' + L"eve")),
        bstr(retrieve.substr(0, retrieve.find(L"</UIExtension")) + L"</" + L'\xD800'),
        nullptr,
        SysAllocStringByteLen(reinterpret_cast<const char*>(retrieve.data()), retrieve.size() * 2 + 1),
        bstr(event(L"retrieve", padding)),
        bstr(event(L"retrieve", padding).substr(0, padding.size())),
        bstr(retrieve),
    };
    std::vector<HRESULT> results;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CLSID clsid;
    IQBEventCallback* listener = nullptr;
    ASSERT_EQ(CLSIDFromProgID(L"Marlet.QBMenuListener", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IQBEventCallback,
                               reinterpret_cast<void**>(&listener)),
              S_OK);
    for (BSTR text : texts) results.push_back(listener->inform(text)), SysFreeString(text);
    listener->Release();
    CoUninitialize();
    EXPECT_EQ(results, (std::vector<HRESULT>{S_OK, S_OK, E_INVALIDARG, E_INVALIDARG, S_OK, S_OK, E_INVALIDARG, S_OK}));
    EXPECT_EQ(launchedLines(box, 3), std::vector<std::string>(3, box.dorvexLine("qbretrieve")));
    EXPECT_TRUE(waitForMarletExit(box));
    runHost(box, L"--uninstall");
}

// Registration runs no switch; the options record
// for scripts (Marlet.cmOptions) is a record of its own, not the server's.
TEST_F(ComEvent, RegistrationAndTheOptionsObject) {
    box.writeIni("True\r\nC:\\Server\\\r\nC:\\ServerCfg\\\r\nTrue\r\nTrue\r\n-1\r\n");
    EXPECT_EQ(box.runMarlet(L"/regserver").exitCode, 0u);
    EXPECT_EQ(box.readIni(), "True\r\nC:\\Server\\\r\nC:\\ServerCfg\\\r\nTrue\r\nTrue\r\n-1\r\n")
        << "Main does not run for /regserver";
    // The server's registry keys, in each build's view, are the installer test's.
    CLSID clsid;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IDispatch* o = nullptr;
    ASSERT_EQ(CLSIDFromProgID(L"Marlet.cmOptions", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&o)),
              S_OK);
    // Calls a member with one argument (none when empty); returns the result as text.
    auto invoke = [&](const wchar_t* name, WORD how, VARIANT arg) {
        DISPID id = DISPID_UNKNOWN, named = DISPID_PROPERTYPUT;
        LPOLESTR n = const_cast<LPOLESTR>(name);
        EXPECT_EQ(o->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id), S_OK) << utf8(name);
        DISPPARAMS p = {&arg, how == DISPATCH_PROPERTYPUT ? &named : nullptr, arg.vt != VT_EMPTY,
                        how == DISPATCH_PROPERTYPUT};
        VARIANT result, shown;
        VariantInit(&result);
        VariantInit(&shown);
        EXPECT_EQ(o->Invoke(id, IID_NULL, 0, how, &p, &result, nullptr, nullptr), S_OK) << utf8(name);
        VariantChangeType(&shown, &result, VARIANT_ALPHABOOL, VT_BSTR);
        std::string s = shown.vt == VT_BSTR && shown.bstrVal ? utf8(shown.bstrVal) : "";
        VariantClear(&arg), VariantClear(&result), VariantClear(&shown);
        return s;
    };
    auto bstrOf = [](const std::wstring& t) {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(t.c_str());
        return v;
    };
    VARIANT none, yes;
    none.vt = VT_EMPTY;
    yes.vt = VT_BOOL;
    yes.boolVal = VARIANT_TRUE;
    invoke(L"dxPath", DISPATCH_PROPERTYPUT, bstrOf(L"D:\\Dorvex\\"));
    invoke(L"promptMemo", DISPATCH_PROPERTYPUT, yes);
    EXPECT_EQ(invoke(L"DXPATH", DISPATCH_PROPERTYGET, none), "D:\\Dorvex\\");
    box.writeFile(L"script.ini", "");  // only an existing file is written
    invoke(L"writeOptions", DISPATCH_METHOD, bstrOf(box.path(L"script.ini")));
    EXPECT_EQ(box.readFile(L"script.ini"), "False\r\nD:\\Dorvex\\\r\n\r\nFalse\r\nTrue\r\nFalse\r\n");
    invoke(L"readOptions", DISPATCH_METHOD, bstrOf(box.path(L"dxqb.ini")));
    EXPECT_EQ(invoke(L"configPath", DISPATCH_PROPERTYGET, none), "C:\\ServerCfg\\");
    EXPECT_EQ(invoke(L"debugMode", DISPATCH_PROPERTYGET, none), "True");
    o->Release();
    CoUninitialize();
    EXPECT_TRUE(waitForMarletExit(box));

    EXPECT_EQ(box.runMarlet(L"-UnregServer").exitCode, 0u);
    EXPECT_EQ(CLSIDFromProgID(L"Marlet.QBMenuListener", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(L"Marlet.cmOptions", &clsid), CO_E_CLASSSTRING);
}

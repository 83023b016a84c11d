// Every outside failure marlet.exe meets, one row each (and one row per road by
// which it is met): what the user sees, and that nothing is started and
// dxqb.ini stays whole. The real programs run: marlet.exe, the request-processor
// stand-in with its faults, the host stand-in firing menu events, Dorvex's, and
// the Options dialog worked with the mouse.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "qb/qbxml_response.h"
#include "options_driver.h"
#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"

using namespace bench;

namespace {

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x800A0035);
const std::string kInvoice = "scan@txn:Invoice:1A-1165000101";

struct Box {
    std::string title;
    std::string text;
    Icon icon = Icon::None;
    bool textIsPrefix = false;  // for a text that ends with details of the answer
};

// What the file holds once the program has run: the bytes as they were, or the
// same six values rewritten in the program's own words.
enum class Ini { Kept, Rewritten };

// A menu event from the host, marlet.exe started with arguments, or a button of
// the Options dialog (opened with /options, closed with Cancel afterwards).
enum class Road { MenuEvent, CommandLine, OptionsButton };

struct Row {
    std::string name;
    // the failure
    std::string qbConfig;  // the request-processor stand-in's faults ("" none)
    bool noDorvex = false;
    bool noFileTools = false;
    bool clipboardHeld = false;  // by another program; debug mode puts the line there first
    // how it is met
    Road road = Road::MenuEvent;
    std::string what;  // the host's event token, marlet.exe's arguments, or the button
    // what follows
    std::vector<Box> boxes;
    HRESULT informResult = S_OK;  // MenuEvent: what inform returns to QuickBooks
    bool listenerFails = false;   // MenuEvent: the listener cannot be created at all
    DWORD exitCode = 0;           // CommandLine, OptionsButton
    Ini ini = Ini::Rewritten;
};

Box errorBox(const std::string& text, bool prefix = false) { return {"Error", text, Icon::Exclamation, prefix}; }
Box marletBox(const std::string& text) { return {"Marlet", text}; }

std::vector<Row> faultTable() {
    const std::string notRunning = "Could not start QuickBooks.";
    const std::string failed = "QuickBooks stopped responding before the request was processed.";
    return {
        {"QuickBooksNotRunningAtALookup", "fault = qbNotRunning", false, false, false, Road::MenuEvent, kInvoice,
         {errorBox(notRunning)}},
        {"QuickBooksNotRunningAtInstall", "fault = qbNotRunning", false, false, false, Road::CommandLine,
         "/install", {marletBox("Encountered error subscribing: " + notRunning)}, S_OK, false, 3},
        {"QuickBooksNotRunningAtUninstall", "fault = qbNotRunning", false, false, false, Road::CommandLine,
         "/uninstall", {marletBox(std::to_string(qbrp::kHrNotRunning) + ": " + notRunning)}, S_OK, false, 1,
         Ini::Kept},
        {"ConnectionRefused", "fault = connectionRefused", false, false, false, Road::MenuEvent,
         "retrieve@customer:80000003-1165000003", {errorBox("The QuickBooks user has denied access.")}},
        {"SessionRefused", "fault = sessionRefused", false, false, false, Road::MenuEvent,
         "scan@customer:80000003-1165000003",
         {errorBox("This application does not have permission to access this QuickBooks company data file.")}},
        {"RequestFailsAtALookup", "fault = requestFails", false, false, false, Road::MenuEvent,
         "retrieve@txn:Invoice:1A-1165000101", {errorBox(failed)}},
        {"RequestFailsAtInstall", "fault = requestFails", false, false, false, Road::CommandLine, "/install",
         {marletBox("Encountered error subscribing: " + failed)}, S_OK, false, 3},
        {"MalformedAnswer", "fault = malformedAnswer", false, false, false, Road::MenuEvent, kInvoice,
         {errorBox("QuickBooks returned an answer that is not well-formed XML (", true)}},
        {"EmptyAnswer", "fault = emptyAnswer", false, false, false, Road::MenuEvent,
         "retrieve@customer:80000003-1165000003", {errorBox("QuickBooks returned an empty answer.")}},
        {"EmptyAnswerAtUninstall", "fault = emptyAnswer", false, false, false, Road::CommandLine, "/uninstall",
         {marletBox(std::to_string(marlet::kErrBadAnswer) + ": QuickBooks returned an empty answer.")}, S_OK, false, 1, Ini::Kept},
        {"RecordMissing", "", false, false, false, Road::MenuEvent, "scan@txn:Invoice:FF-0",
         {errorBox("QuickBooks returned no record. The query request has not been fully completed. There was a "
                   "required element (\"FF-0\") that could not be found in QuickBooks.")}},
        {"RequiredElementMissingFromATransaction", "dropElement = EntityRef", false, false, false,
         Road::MenuEvent, kInvoice,
         {errorBox("The TransactionRet that QuickBooks returned has no EntityRef/FullName.")}},
        {"RequiredElementMissingFromACustomer", "dropElement = FullName", false, false, false, Road::MenuEvent,
         "retrieve@customer:80000003-1165000003",
         {errorBox("The CustomerRet that QuickBooks returned has no FullName.")}},
        {"DorvexMissingAtRetrieveSwitch", "", true, false, false, Road::CommandLine, "/retrieve",
         {marletBox("53: File not found")}, S_OK, false, 1, Ini::Kept},
        {"DorvexMissingAtALookup", "", true, false, false, Road::MenuEvent, kInvoice, {errorBox("File not found")}},
        // The bare retrieval's failure goes back to QuickBooks; Marlet shows nothing.
        {"DorvexMissingAtABareRetrieval", "", true, false, false, Road::MenuEvent, "retrieve@none", {},
         kFileNotFound},
        {"ClipboardHeldAtRetrieveSwitch", "", false, false, true, Road::CommandLine, "/retrieve",
         {marletBox("521: Can't open Clipboard")}, S_OK, false, 1, Ini::Kept},
        {"ClipboardHeldAtALookup", "", false, false, true, Road::MenuEvent, kInvoice,
         {errorBox("Can't open Clipboard")}},
        {"FileToolsNotRegistered", "", false, true, false, Road::MenuEvent, "manual",
         {{"Marlet Error",
           "An error has occured.  This most likely cause of this error is that Dorvex is not installed.\r\n"
           "Please install Dorvex from https://www.dorvex.com before proceeding."}},
         S_OK, true},
        // With no TWAIN source on the machine (Wine's camera source switched off).
        {"NoTwainSource", "", false, false, false, Road::OptionsButton, "Select Scanner",
         {marletBox("Unable to detect support for a TWAIN-compliant scanner.")}},
        // The path box names Dorvex's folder, where no pellwick.exe is.
        {"PellwickMissing", "", false, false, false, Road::OptionsButton, "Pellwick",
         {marletBox("Please correct your Dorvex Executable path before running Pellwick.")}},
    };
}

// While this lives, Wine's one TWAIN source (its camera source) is switched off
// for marlet.exe: a machine with no TWAIN source at all.
class NoTwainSource {
public:
    NoTwainSource() {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\marlet.exe\\DllOverrides", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        RegSetValueExW(key_, L"gphoto2.ds", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    }
    ~NoTwainSource() {
        RegDeleteValueW(key_, L"gphoto2.ds");
        RegCloseKey(key_);
    }
    NoTwainSource(const NoTwainSource&) = delete;
    NoTwainSource& operator=(const NoTwainSource&) = delete;

private:
    HKEY key_ = nullptr;
};

// Holds the clipboard open the way another program can, until it goes.
class ClipboardHolder {
public:
    explicit ClipboardHolder(bool hold) {
        if (!hold) return;
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        held_ = OpenClipboard(window_);
    }
    ~ClipboardHolder() {
        if (held_) CloseClipboard();
        if (window_) DestroyWindow(window_);
    }
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;
    bool held() const { return held_; }

private:
    HWND window_ = nullptr;
    bool held_ = false;
};

void expectBoxes(const std::vector<Dialog>& seen, const std::vector<Box>& expected) {
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); i++) {
        const Box& e = expected[i];
        EXPECT_EQ(seen[i].title, e.title);
        if (e.textIsPrefix)
            EXPECT_EQ(seen[i].text.substr(0, e.text.size()), e.text) << seen[i].text;
        else
            EXPECT_EQ(seen[i].text, e.text);
        EXPECT_EQ(seen[i].icon, e.icon);
        EXPECT_EQ(seen[i].buttons, std::vector<std::string>{"OK"});
    }
}

struct FaultMatrix : ::testing::TestWithParam<Row> {};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

}  // namespace

TEST_P(FaultMatrix, TheUserSeesTheMessageNothingStartsAndTheOptionsStayWhole) {
    const Row& row = GetParam();
    Sandbox box;
    QuickBooks qb(box);
    ASSERT_TRUE(qb.registered());
    if (!row.qbConfig.empty()) qb.configure(row.qbConfig + "\n");
    box.installDorvex();
    if (row.noDorvex) DeleteFileW(box.path(L"Dx\\Dorvex.exe").c_str());
    if (!row.noFileTools) installFileTools(box);
    registerMarlet(box);
    // The same values as the program writes them, in other words.
    const std::string dx = box.pathUtf8(L"Dx") + "\\\r\n" + box.pathUtf8(L"Cfg") + "\\\r\n";
    const bool debug = row.clipboardHeld;
    const std::string before = "0\r\n" + dx + "0\r\n0\r\n" + (debug ? "-1" : "0") + "\r\n";
    const std::string rewritten = "False\r\n" + dx + "False\r\nFalse\r\n" + (debug ? "True" : "False") + "\r\n";
    box.writeIni(before);

    {
        ClipboardHolder clipboard(row.clipboardHeld);
        ASSERT_EQ(clipboard.held(), row.clipboardHeld);
        if (row.road == Road::MenuEvent) {
            HostRun r = runHost(box, L"--progid=Marlet.QBMenuListener " + wide(row.what));
            EXPECT_FALSE(r.timedOut);
            expectBoxes(r.dialogs, row.boxes);
            ASSERT_EQ(r.calls.size(), 1u);
            if (row.listenerFails) {
                EXPECT_EQ(r.calls[0].event, "create");
                EXPECT_TRUE(FAILED(r.calls[0].hr));
            } else {
                EXPECT_EQ(r.calls[0].hr, row.informResult) << r.calls[0].description;
            }
        } else if (row.road == Road::CommandLine) {
            RunResult r = box.runMarlet(wide(row.what));
            EXPECT_FALSE(r.timedOut);
            expectBoxes(r.dialogs, row.boxes);
            EXPECT_EQ(r.exitCode, row.exitCode);
        } else {
            NoTwainSource noTwain;
            std::vector<Dialog> seen;
            RunResult r = runWithOptions(box, L"/options", [&](OptionsWindow& w) {
                w.click(w.button(row.what));
                while (HWND other = w.waitForOther(2000)) seen.push_back(answer(other));
                EXPECT_TRUE(w.close("Cancel"));
            });
            EXPECT_FALSE(r.timedOut);
            expectBoxes(seen, row.boxes);
            ASSERT_EQ(r.dialogs.size(), 1u);
            EXPECT_EQ(r.dialogs[0].title, "Options");
            EXPECT_EQ(r.exitCode, row.exitCode);
        }
    }
    EXPECT_TRUE(waitForMarletExit(box));
    Sleep(500);  // a Dorvex that was started would have recorded itself by now
    EXPECT_TRUE(box.launches().empty()) << box.launches().front().commandLine;
    EXPECT_EQ(box.readIni(), row.ini == Ini::Kept ? before : rewritten);
    WIN32_FIND_DATAW fd;
    HANDLE left = FindFirstFileW(box.path(L"*.tmp").c_str(), &fd);
    EXPECT_EQ(left, INVALID_HANDLE_VALUE) << "a temporary file was left beside dxqb.ini";
    if (left != INVALID_HANDLE_VALUE) FindClose(left);

    unregisterMarlet(box);
    if (!row.noFileTools) uninstallFileTools(box);
}

INSTANTIATE_TEST_SUITE_P(Outside, FaultMatrix, ::testing::ValuesIn(faultTable()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

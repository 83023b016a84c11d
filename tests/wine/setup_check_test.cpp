// marlet.exe /check on a real registry and file system, against the stand-ins:
// a healthy set-up passes every line, and each outside fault that applies fails
// its own line (and those that depend on it) with its advice, in the real box.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"

using namespace harness;

namespace {

// While this lives, QBXMLRP2.RequestProcessor is registered for the other
// bitness only, as QuickBooks' own installer leaves it for the other build.
class OtherBuildsRequestProcessor {
public:
    OtherBuildsRequestProcessor() {
        remove();  // what a run that was cut short left
        set(kProgIdKey, kClsid);
        set(std::wstring(L"CLSID\\") + kClsid + L"\\InprocServer32", L"C:\\QB\\qbxmlrp2.dll");
    }
    ~OtherBuildsRequestProcessor() { remove(); }
    OtherBuildsRequestProcessor(const OtherBuildsRequestProcessor&) = delete;
    OtherBuildsRequestProcessor& operator=(const OtherBuildsRequestProcessor&) = delete;

private:
    static constexpr const wchar_t* kClsid = L"{0D5C4A52-7E1B-4C3F-9A88-3B2E6F1D4C77}";
    static constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    static constexpr const wchar_t* kProgIdKey = L"QBXMLRP2.RequestProcessor\\CLSID";
    static void remove() {
        // Innermost first: a key with subkeys is not deleted.
        const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsid;
        for (const std::wstring& key : {clsidKey + L"\\InprocServer32", clsidKey, std::wstring(kProgIdKey),
                                        std::wstring(L"QBXMLRP2.RequestProcessor")})
            RegDeleteKeyExW(HKEY_CLASSES_ROOT, key.c_str(), kOtherView, 0);
    }
    static void set(const std::wstring& key, const std::wstring& value) {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE | kOtherView, nullptr, &k,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
    }
};

const std::string kOtherBits = sizeof(void*) == 8 ? "32-bit" : "64-bit";

// A missing job file or an unsubscribed menu takes no path of its own here: native rows only.
enum class Fault { None, OtherBuildsRequestProcessor, NoRequestProcessor, FileToolsMissing, DorvexMissing,
                   QuickBooksProgramRunning };

struct Row {
    std::string name;
    Fault fault;
    std::string failing;   // the failing checks' names, each followed by "; "
    std::string advice;    // in the box
    std::string qbConfig = {};  // the request-processor stand-in's configuration, once the menu is added
};

std::vector<Row> rows() {
    const std::string noRP = "QuickBooks request processor; QuickBooks; Menu; ";
    return {
        {"Healthy", Fault::None, "", ""},
        {"RequestProcessorOfTheOtherBuild", Fault::OtherBuildsRequestProcessor, noRP,
         ": it is registered for " + kOtherBits + " programs only. Run MarletSetup.exe again: it installs the " +
             kOtherBits + " Marlet that this QuickBooks needs."},
        {"NoRequestProcessor", Fault::NoRequestProcessor, noRP,
         "Install or repair QuickBooks, which brings its SDK request processor."},
        {"QuickBooksNotRunning", Fault::None, "QuickBooks; Menu; ",
         "0x80040408 (-2147220472): Could not start QuickBooks. Start QuickBooks, open the company file and run the "
         "check again.",
         "fault = qbNotRunning\n"},
        // The SDK's refusals as real COM carries them, each on the call that meets it.
        {"OnlyTheLookupsConnectionRefused", Fault::None, "QuickBooks; ", "Could not start QuickBooks. Start",
         "failCall = OpenConnection2 0x80040408\n"},
        {"SingleUserFileInUse", Fault::None, "QuickBooks; ",
         "0x80040422 (-2147220446): This QuickBooks company file is open in single user mode and another application "
         "is already accessing it. Close the other program",
         "failCall = BeginSession 0x80040422\n"},
        {"QuickBooksNotReachable", Fault::None, "Menu; ", "Could not access QuickBooks. Close QuickBooks, start it again",
         "failCall = OpenConnection 0x80040401\n"},
        {"UnexpectedSdkError", Fault::None, "QuickBooks; ", "additional information. See QuickBooks' SDK log",
         "failCall = ProcessRequest 0x80040402\n"},
        // The host stand-in under QuickBooks' program name, at Marlet's own level.
        {"QuickBooksProgramRunning", Fault::QuickBooksProgramRunning, "", " run as administrator"},
        {"FileToolsMissing", Fault::FileToolsMissing, "Manual; ", "Install Dorvex again, which brings Kelvorn.FileTools."},
        {"DorvexMissing", Fault::DorvexMissing, "Dorvex; ", "Dx\\Dorvex.exe is not there. In Options, set the Dorvex"},
    };
}

struct SetupCheck : ::testing::TestWithParam<Row> {};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

}  // namespace

TEST_P(SetupCheck, OneLinePerCheckInTheRealBox) {
    const Row& row = GetParam();
    const Fault f = row.fault;
    Sandbox box;
    std::unique_ptr<OtherBuildsRequestProcessor> otherBuilds;
    if (f == Fault::OtherBuildsRequestProcessor) otherBuilds = std::make_unique<OtherBuildsRequestProcessor>();
    std::unique_ptr<QuickBooks> qb;
    if (!otherBuilds && f != Fault::NoRequestProcessor) {
        qb = std::make_unique<QuickBooks>(box);
        ASSERT_TRUE(qb->registered());
    }
    box.installDorvex();
    if (f == Fault::DorvexMissing) DeleteFileW(box.path(L"Dx\\Dorvex.exe").c_str());
    for (const wchar_t* job : {L"Cfg\\qbscan.dxc", L"Cfg\\qbscan_no_txn.dxc", L"Cfg\\qbretrieve.dxc"})
        box.writeFile(job, "job");
    box.writeFile(L"QBManual.pdf", "%PDF-1.4\n");
    if (f != Fault::FileToolsMissing) installFileTools(box);
    registerMarlet(box);
    box.writeIni(box.ini().text());
    if (qb) {
        const RunResult added = box.runMarlet(L"/install");
        ASSERT_EQ(added.dialogs.size(), 1u) << "marlet.exe /install: exit code " << added.exitCode;
        ASSERT_EQ(added.dialogs[0].title, "Menu Added");
    }
    if (!row.qbConfig.empty()) qb->configure(row.qbConfig);
    PROCESS_INFORMATION quickBooksProgram = {};
    if (f == Fault::QuickBooksProgramRunning) {
        box.copyProgram(L"qbhost.exe", L"QB\\QBW32.EXE");
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        std::wstring line = L"\"" + box.path(L"QB\\QBW32.EXE") + L"\"";
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, box.dir().c_str(), &si,
                                   &quickBooksProgram));
        WaitForInputIdle(quickBooksProgram.hProcess, 10000);
    }

    RunResult r = box.runMarlet(L"/check");
    if (quickBooksProgram.hProcess) {
        TerminateProcess(quickBooksProgram.hProcess, 0);
        WaitForSingleObject(quickBooksProgram.hProcess, 10000);
        CloseHandle(quickBooksProgram.hProcess);
        CloseHandle(quickBooksProgram.hThread);
    }
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, row.failing.empty() ? 0u : 6u);
    ASSERT_EQ(r.dialogs.size(), 1u);
    const Dialog& d = r.dialogs[0];
    EXPECT_EQ(d.title, "Marlet set-up check");
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(d.icon, row.failing.empty() ? Icon::None : Icon::Exclamation);
    // Nine lines; the names of those that failed.
    std::string failing;
    int lines = 0;
    for (size_t at = 0; at < d.text.size(); lines++) {
        size_t end = std::min(d.text.find("\r\n", at), d.text.size());
        std::string line = d.text.substr(at, end - at);
        size_t failed = line.find(": FAILED: ");
        if (failed != std::string::npos) failing += line.substr(0, failed) + "; ";
        at = end + 2;
    }
    EXPECT_EQ(lines, 9) << d.text;
    EXPECT_EQ(failing, row.failing) << d.text;
    EXPECT_NE(d.text.find(row.advice), std::string::npos) << d.text;
    if (f == Fault::QuickBooksProgramRunning) {
        EXPECT_EQ(d.text.find("QuickBooks is not running"), std::string::npos);
    }

    unregisterMarlet(box);
    if (f != Fault::FileToolsMissing) uninstallFileTools(box);
}

INSTANTIATE_TEST_SUITE_P(Faults, SetupCheck, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

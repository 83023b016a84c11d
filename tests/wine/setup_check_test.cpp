// marlet.exe /check on a real registry and file system, against the stand-ins:
// a healthy set-up passes every line, and each outside fault that applies fails
// its own line (and those that depend on it) with its advice, in the real box.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"

using namespace bench;

namespace {

const char* const kChecks[] = {"Settings", "Dorvex", "Dorvex configurations", "Marlet registration",
                               "QuickBooks request processor", "QuickBooks", "Menu", "Manual"};

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

struct Row {
    std::string name;
    bool noRequestProcessor = false;
    bool otherBuildsRequestProcessor = false;
    std::string qbConfig;  // the request-processor stand-in's faults
    bool menuSubscribed = true;
    bool noFileTools = false;
    bool noDorvex = false;
    bool noRetrieveJob = false;
    std::vector<std::string> failing;  // the checks that fail, in order
    std::string advice;                // in the first failing line
};

std::vector<Row> rows() {
    return {
        {"Healthy"},
        {"RequestProcessorOfTheOtherBuild", true, true, "", true, false, false, false,
         {"QuickBooks request processor", "QuickBooks", "Menu"},
         ": it is registered for " + kOtherBits + " programs only. Run MarletSetup.exe again: it installs the " +
             kOtherBits + " Marlet that this QuickBooks needs."},
        {"NoRequestProcessor", true, false, "", true, false, false, false,
         {"QuickBooks request processor", "QuickBooks", "Menu"},
         "Install or repair QuickBooks, which brings its SDK request processor."},
        {"QuickBooksNotRunning", false, false, "fault = qbNotRunning", true, false, false, false, {"QuickBooks", "Menu"},
         "Could not start QuickBooks. Start QuickBooks, open the company file and run the check again."},
        {"MenuNotSubscribed", false, false, "", false, false, false, false, {"Menu"},
         "Use Add Menu in Options, then restart QuickBooks."},
        {"FileToolsMissing", false, false, "", true, true, false, false, {"Manual"},
         "Install Dorvex again, which brings Kelvorn.FileTools."},
        {"DorvexMissing", false, false, "", true, false, true, false, {"Dorvex"},
         "In Options, set the Dorvex executable folder to the folder that holds Dorvex.exe, or install Dorvex."},
        {"JobFileMissing", false, false, "", true, false, false, true, {"Dorvex configurations"},
         "FAILED: qbretrieve.dxc not in "},
    };
}

struct SetupCheck : ::testing::TestWithParam<Row> {};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

}  // namespace

TEST_P(SetupCheck, OneLinePerCheckInTheRealBox) {
    const Row& row = GetParam();
    Sandbox box;
    std::unique_ptr<QuickBooks> qb;
    std::unique_ptr<OtherBuildsRequestProcessor> otherBuilds;
    if (row.otherBuildsRequestProcessor) otherBuilds = std::make_unique<OtherBuildsRequestProcessor>();
    if (!row.noRequestProcessor) {
        qb = std::make_unique<QuickBooks>(box);
        ASSERT_TRUE(qb->registered());
    }
    box.installDorvex();
    if (row.noDorvex) DeleteFileW(box.path(L"Dx\\Dorvex.exe").c_str());
    for (const wchar_t* job : {L"Cfg\\qbscan.dxc", L"Cfg\\qbscan_no_txn.dxc", L"Cfg\\qbretrieve.dxc"})
        if (!(row.noRetrieveJob && std::wstring(job) == L"Cfg\\qbretrieve.dxc")) box.writeFile(job, "job");
    box.writeFile(L"QBManual.pdf", "%PDF-1.4\n");
    if (!row.noFileTools) installFileTools(box);
    registerMarlet(box);
    box.writeIni(box.iniFor(L"Dx"));
    if (row.menuSubscribed && qb) {
        RunResult added = box.runMarlet(L"/install");
        ASSERT_EQ(added.dialogs.size(), 1u);
        ASSERT_EQ(added.dialogs[0].title, "Menu Added");
    }
    if (!row.qbConfig.empty()) qb->configure(row.qbConfig + "\n");

    RunResult r = box.runMarlet(L"/check");
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, row.failing.empty() ? 0u : 6u);
    ASSERT_EQ(r.dialogs.size(), 1u);
    const Dialog& d = r.dialogs[0];
    EXPECT_EQ(d.title, "Marlet set-up check");
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(d.icon, row.failing.empty() ? Icon::None : Icon::Exclamation);
    std::vector<std::string> failing;
    std::string firstFailure;
    size_t at = 0;
    for (const char* name : kChecks) {
        size_t end = d.text.find("\r\n", at);
        std::string line = d.text.substr(at, end - at);
        EXPECT_EQ(line.rfind(std::string(name) + ": ", 0), 0u) << d.text;
        if (line.find(": FAILED: ") != std::string::npos) {
            failing.push_back(name);
            if (firstFailure.empty()) firstFailure = line;
        }
        at = end == std::string::npos ? d.text.size() : end + 2;
    }
    EXPECT_EQ(failing, row.failing) << d.text;
    EXPECT_NE(firstFailure.find(row.advice), std::string::npos) << firstFailure;
    if (qb) {
        for (const qbrp::LogEntry& e : qb->log())
            if (e.call == "Release") EXPECT_EQ(e.args, std::vector<std::string>{"closed"});
    }

    unregisterMarlet(box);
    if (!row.noFileTools) uninstallFileTools(box);
}

INSTANTIATE_TEST_SUITE_P(Faults, SetupCheck, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

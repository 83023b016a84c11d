#include "commands/setup_check.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <iterator>

#include "app/app.h"
#include "app/dorvex.h"
#include "app/log.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/process_state.h"
#include "qb/menu_subscription.h"
#include "qb/session.h"
#include "settings/options.h"
#include "settings/policies.h"
#include "settings/settings_files.h"

namespace marlet {

namespace {

constexpr const char* kRunSetupAgain = "Run MarletSetup.exe again to repair Marlet.";

CheckResult passed(std::string finding) { return {true, std::move(finding), ""}; }
CheckResult failed(std::string finding, std::string advice) {
    return {false, std::move(finding), std::move(advice)};
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string unquoted(const std::string& s) {
    return s.size() >= 2 && s.front() == '"' && s.back() == '"' ? s.substr(1, s.size() - 2) : s;
}

// "a, b and c".
template <size_t N>
std::string listed(const char* const (&names)[N]) {
    std::string out;
    for (size_t i = 0; i < N; i++) out += (i == 0 ? "" : i + 1 == N ? " and " : ", ") + std::string(names[i]);
    return out;
}

// A small count in words, as the check's sentences say it.
std::string inWords(size_t n) {
    static const char* const kWords[] = {"no", "one", "two", "three", "four", "five",
                                         "six", "seven", "eight", "nine", "ten"};
    return n < std::size(kWords) ? kWords[n] : std::to_string(n);
}

std::string bitness(bool own) { return (sizeof(void*) == 8) == own ? "64-bit" : "32-bit"; }

// --- settings and files

CheckResult settingsFile() {
    std::string path = settingsFileInUse();
    const std::string file = path + " (" + (path == machineSettingsPath() ? "the machine's" : "your own") +
                             " settings file)";
    std::string bytes;
    if (!platform().readFile(path, bytes)) return failed(file + " cannot be read", kRunSetupAgain);
    const char* const kWriteAgain =
        "Open Options from the QuickBooks File menu, check each setting and press OK to write it again.";
    const std::vector<std::string> lines = splitLines(bytes);
    const size_t settings = std::size(kSettings);  // one line each
    // More lines than settings: a folder with a line break in it shifted the rest.
    if (lines.size() != settings)
        return failed(file + " holds " + std::to_string(lines.size()) + " lines instead of " + inWords(settings),
                      kWriteAgain);
    for (const Setting& s : kSettings) {
        const std::string& line = lines[static_cast<size_t>(s.line - 1)];
        if (s.kind != SettingKind::Boolean || textToBoolean(line)) continue;
        std::string finding = file;
        finding += " line " + std::to_string(s.line) + " (" + s.name + ") reads \"";
        finding += line + "\", not True or False";
        return failed(finding, kWriteAgain);
    }
    return passed(file + ", " + inWords(settings) + " lines");
}

// The settings file's line, then the settings an administrator's policy gives
// and the policy values Marlet ignores (a failure: the setting meant is not applied).
CheckResult settingsAndPolicies(const cmOptions&) {
    CheckResult result = settingsFile();
    PolicyReading policies = readPolicies();
    if (policies.values.fromPolicy) result.finding += "; " + settingNames(policies.values.fromPolicy) + " set by policy";
    if (policies.unusable.empty()) return result;
    for (const std::string& sentence : policies.unusable) result.finding += "; " + sentence;
    const char* advice = "Correct each policy value named (a REG_DWORD 0 or 1 for a choice, a REG_SZ folder on one "
                         "line for a folder) or remove it.";
    result.advice = result.passed ? advice : result.advice + " " + advice;
    result.passed = false;
    return result;
}

// What to do about a folder setting that names the wrong folder: change it in
// Options, or, where a policy gives it and Options shows it locked, have the
// policy changed.
std::string folderAdvice(const cmOptions& options, const std::string cmOptions::*member, const std::string& inOptions,
                         const std::string& otherwise) {
    for (const Setting& s : kSettings)
        if (s.text == member && options.byPolicy(s))
            return std::string("The folder comes from the policy value ") + s.name + " under " + kPolicyKey +
                   ": have your administrator set it to " + otherwise;
    return "In Options, set " + inOptions + " to " + otherwise;
}

CheckResult dorvexProgram(const cmOptions& options) {
    std::string program = dorvexExePath(options);
    if (!platform().fileExists(program))
        return failed(program + " is not there",
                      folderAdvice(options, &cmOptions::dxPath, "the Dorvex executable folder",
                                   std::string("the folder that holds ") + kDorvexExe + ", or install Dorvex."));
    return passed(program + " is there");
}

CheckResult dorvexConfigurations(const cmOptions& options) {
    std::string missing;
    for (const char* name : kDorvexConfigs)
        if (!platform().fileExists(options.configPath + name)) missing += (missing.empty() ? "" : ", ") + std::string(name);
    if (!missing.empty())
        return failed(missing + " not in " + options.configPath,
                      folderAdvice(options, &cmOptions::configPath, "the configuration folder",
                                   "the folder that holds the Dorvex configurations, or restore them from your "
                                   "Dorvex installation."));
    return passed(listed(kDorvexConfigs) + " are in " + options.configPath);
}

// --- registration

// Marlet's own classes, which marlet.exe serves.
constexpr const char* kOwnClasses[] = {kListenerProgID, kOptionsProgID};

// The server registered for `progId` in this build's view; "" when none.
std::string localServerOf(const std::string& progId) {
    const Platform& p = platform();
    std::string clsid = p.classesValue(progId + "\\CLSID", RegistryView::Own);
    return clsid.empty() ? "" : unquoted(p.classesValue("CLSID\\" + clsid + "\\LocalServer32", RegistryView::Own));
}

CheckResult marletRegistration(const cmOptions&) {
    std::string self = platform().exePath();
    std::string wrong;
    for (const char* progId : kOwnClasses) {
        std::string server = localServerOf(progId);
        if (lower(server) == lower(self)) continue;
        wrong += (wrong.empty() ? "" : "; ") + std::string(progId) +
                 (server.empty() ? " is not registered" : " is registered for " + server);
    }
    if (!wrong.empty()) return failed(wrong, kRunSetupAgain);
    return passed(listed(kOwnClasses) + " are registered for " + self);
}

// Is the request processor's class registered (with its DLL) in `view`?
bool requestProcessorIn(RegistryView view) {
    const Platform& p = platform();
    std::string clsid = p.classesValue(std::string(kRequestProcessorProgID) + "\\CLSID", view);
    return !clsid.empty() && !p.classesValue("CLSID\\" + clsid + "\\InprocServer32", view).empty();
}

CheckResult requestProcessor(const cmOptions&) {
    try {
        platform().createObject(kRequestProcessorProgID);
        return passed(std::string(kRequestProcessorProgID) + " can be created by this " + bitness(true) + " Marlet");
    } catch (const Error& e) {
        std::string finding = std::string(kRequestProcessorProgID) + " cannot be created (" + supportErrorText(e) + ")";
        if (!requestProcessorIn(RegistryView::Own) && requestProcessorIn(RegistryView::Other))
            return failed(finding + ": it is registered for " + bitness(false) + " programs only",
                          "Run MarletSetup.exe again: it installs the " + bitness(false) +
                              " Marlet that this QuickBooks needs.");
        return failed(finding, "Install or repair QuickBooks, which brings its SDK request processor.");
    }
}

// --- QuickBooks

const char kStartQuickBooks[] = "Start QuickBooks, open the company file and run the check again.";
const char kAllowAccess[] =
    "In QuickBooks, as the Administrator, allow Marlet under Edit > Preferences > Integrated Applications "
    "> Company Preferences.";
const char kSingleUser[] =
    "Open the company file in QuickBooks as the Administrator in single-user mode, run the check again and "
    "allow Marlet access when QuickBooks asks.";
const char kOtherApplication[] =
    "Close the other program that is working with the company file (QuickBooks has it open for one user), "
    "then run the check again.";
const char kRestartQuickBooks[] = "Close QuickBooks, start it again, open the company file and run the check again.";
const char kSdkLog[] =
    "See QuickBooks' SDK log, qbsdklog.txt, for what went wrong; then restart QuickBooks and run the check again.";

// Failures of the SDK a person can put right, and how; each meaning as Intuit's
// documentation or samples give it.
struct KnownFailure {
    uint32_t hresult;
    const char* advice;
};
const KnownFailure kKnownFailures[] = {
    {0x80040408, kStartQuickBooks},  // Could not start QuickBooks.
    {0x80040416, kStartQuickBooks},  // QuickBooks is not running and no company file was named
    {0x80040417, kStartQuickBooks},  // no company file is open in QuickBooks
    {0x80040424, kStartQuickBooks},  // QuickBooks did not finish starting
    {0x80040420, kAllowAccess},      // The QuickBooks user has denied access.
    {0x8004041A, kAllowAccess},      // no permission to access this company file
    {0x8004041D, kAllowAccess},      // not allowed to log in to this company file automatically
    {0x80040418, kSingleUser},       // first access: only the Administrator can allow it
    // The file is open in single-user mode and another application is already
    // accessing it: IntuitDeveloper/QBXML_SDK_Samples, qbdt/vb.NET/QBFC/InvoiceMod/modQBFC.vb.
    {0x80040422, kOtherApplication},
    // "Could not access QuickBooks." and "Unexpected error. Check the qbsdklog.txt file…":
    // IntuitDeveloper/QBXML_SDK_Samples, qbdt/c-sharp/qbXML/WCWebService/App_Code/WCWebService.asmx.cs.
    {0x80040401, kRestartQuickBooks},
    {0x80040402, kSdkLog},
};

std::string adviceFor(const Error& e) {
    for (const KnownFailure& k : kKnownFailures)
        if (static_cast<uint32_t>(e.number()) == k.hresult) return k.advice;
    if (e.number() == kHrClassNotRegistered) return "See the request processor's line.";
    return "Check that QuickBooks runs with the company file open, then run the check again.";
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
    return out;
}

// One exchange over a connection of its own, on the road the work itself takes
// (a refusal only that road meets fails here too); `ask` returns the check's result.
template <class Ask>
CheckResult withQuickBooks(QBConnection::Road road, Ask ask) {
    // Whatever was opened is closed on every path; the first failure is the one reported.
    QBConnection qb(QBConnection::Leftover::Closed);
    try {
        qb.open(road, appNameString(), appGuidString());
        CheckResult result = ask(qb.sm());
        qb.close();
        return result;
    } catch (const Error& e) {
        return failed(supportErrorText(e), adviceFor(e));
    }
}

// QuickBooks Desktop's program: QBW32.EXE, QBW.EXE in its 64-bit releases.
const std::vector<std::string> kQuickBooksPrograms = {"QBW32.EXE", "QBW.EXE"};

// A program that talks to QuickBooks through the SDK must run at the level
// QuickBooks runs at. Only a QuickBooks in this Windows session counts (on a
// Remote Desktop server each user has their own); one whose level cannot be
// read is left out, and when that leaves none, the check cannot tell.
CheckResult runLevel(const cmOptions&) {
    const Platform& p = platform();
    bool elevated = p.ownLevel() == RunLevel::Elevated;
    const char* own = elevated ? "Marlet runs as administrator" : "Marlet does not run as administrator";
    bool running = false, elevatedQB = false, standardQB = false;
    for (const RunningProcess& qb : p.processesNamed(kQuickBooksPrograms)) {
        if (!qb.callersSession) continue;
        running = true;
        elevatedQB = elevatedQB || qb.level == RunLevel::Elevated;
        standardQB = standardQB || qb.level == RunLevel::Standard;
    }
    if (!running) return passed(std::string(own) + "; QuickBooks is not running in this Windows session");
    if (!elevatedQB && !standardQB)
        return failed(std::string(own) + "; QuickBooks runs, but whether as administrator cannot be read",
                      "In Task Manager's Details tab, show the Elevated column and check that QuickBooks and "
                      "marlet.exe read the same; if not, start QuickBooks without Run as administrator.");
    if (!elevated && elevatedQB)
        return failed("QuickBooks runs as administrator, Marlet does not",
                      "Start QuickBooks without Run as administrator (and without it in its shortcut's "
                      "Compatibility settings), then run the check again.");
    if (elevated && standardQB)
        return failed("Marlet runs as administrator, QuickBooks does not",
                      "Run the check again without Run as administrator, as the person who uses QuickBooks.");
    return passed(elevated ? "Marlet and QuickBooks both run as administrator"
                           : "neither Marlet nor QuickBooks runs as administrator");
}

CheckResult quickBooks(const cmOptions&) {
    return withQuickBooks(QBConnection::Road::Work, [](QBSessionManager& sm) {
        // Asked in qbXML 1.0, which every QuickBooks takes, so that an older one can say what it takes.
        MsgSetRequest set = sm.createMsgSetRequest("US", 1, 0);
        set.append("HostQueryRq");
        MsgSetResponse answer = sm.doRequests(set);
        const Response& r = answer.at(0);
        if (r.statusCode != 0 || r.detailCount() == 0)
            return failed("QuickBooks did not describe itself (" + std::to_string(r.statusCode) + ": " +
                              r.statusMessage + ")",
                          "Restart QuickBooks and run the check again.");
        Record host = r.detail(0);
        std::vector<std::string> versions = host.values("SupportedQBXMLVersion");
        std::string product = host.value("ProductName") + " " + host.value("MajorVersion") + "." +
                              host.value("MinorVersion");
        const std::string ours = kQbxmlVersionText;
        if (std::find(versions.begin(), versions.end(), ours) == versions.end())
            return failed(product + " answers, but takes qbXML " + joined(versions) + ", not " + ours,
                          "Update QuickBooks to a release that takes qbXML " + ours + " (2005 or later).");
        return passed(product + " answers, qbXML " + ours + " supported");
    });
}

// QuickBooks returns only the subscriptions made in the query's qbXML version:
// the one Add Menu uses (UIExtensionSubscriptionQuery, Intuit's qbXML reference).
CheckResult menuSubscription(const cmOptions&) {
    return withQuickBooks(QBConnection::Road::Subscriptions, [](QBSessionManager& sm) {
        SubscriptionMsgSetRequest set = sm.createSubscriptionMsgSetRequest(kQbxmlMajorVersion, kQbxmlMinorVersion);
        appendMenuQueryRequest(set, appGuidString());
        MsgSetResponse answer = sm.doSubscriptionRequests(set);
        const Response& r = answer.at(0);
        if (r.statusCode != 0 || r.detailCount() == 0)
            return failed("Marlet's entries are not in the QuickBooks File menu (" + std::to_string(r.statusCode) +
                              ": " + r.statusMessage + ")",
                          "Use Add Menu in Options, then restart QuickBooks.");
        Record subscription = r.detail(0);
        std::string fault = menuSubscriptionFault(subscription);
        if (!fault.empty())
            return failed("QuickBooks holds a menu under Marlet's name, but " + fault,
                          "Use Remove Menu and then Add Menu in Options, then restart QuickBooks.");
        return passed("Marlet's entries are in the QuickBooks " + subscription.value("MenuExtensionSubscription/AddToMenu") +
                      " menu, calling " + kListenerProgID);
    });
}

// --- the manual

CheckResult manual(const cmOptions&) {
    std::string problems, advice;
    try {
        platform().createObject(kFileToolsProgID);
    } catch (const Error& e) {
        problems = std::string(kFileToolsProgID) + " cannot be created (" + supportErrorText(e) + ")";
        advice = std::string("Install Dorvex again, which brings ") + kFileToolsProgID + ".";
    }
    std::string pdf = manualPath();
    if (!platform().fileExists(pdf)) {
        problems += (problems.empty() ? "" : "; ") + pdf + " is not there";
        advice = advice.empty() ? kRunSetupAgain : "Install Dorvex again, then run MarletSetup.exe again.";
    }
    if (!problems.empty()) return failed(problems, advice);
    return passed(std::string(kFileToolsProgID) + " can be created and " + pdf + " is there");
}

// The check running now, for the time bound; its name, or null.
std::atomic<const char*> gRunning{nullptr};
void noCheckRunning() { gRunning = nullptr; }
const ProcessStateOwner kRunningState(noCheckRunning);

void checkTimedOut() {
    const char* stuck = gRunning.load();
    if (!stuck) return;  // every check has ended; the box waits for its reader
    msgBox(std::string("The set-up check stopped: the check \"") + stuck + "\" did not finish within " +
               std::to_string(kSetupCheckTimeLimitSeconds) +
               " seconds. Restart QuickBooks (and the computer if that does not help), then run the check again.",
           BoxStyle::Exclamation, kSetupCheckTitle);
    platform().endProcess(kExitTimedOut);
}

}  // namespace

const std::vector<SetupCheck>& setupChecks() {
    static const std::vector<SetupCheck> checks = {
        {"Settings", settingsAndPolicies},
        {"Dorvex", dorvexProgram},
        {"Dorvex configurations", dorvexConfigurations},
        {"Marlet registration", marletRegistration},
        {"QuickBooks request processor", requestProcessor},
        {"Run level", runLevel},
        {"QuickBooks", quickBooks},
        {"Menu", menuSubscription},
        {"Manual", manual},
    };
    return checks;
}

std::string checkLine(const char* name, const CheckResult& result) {
    std::string line = std::string(name) + (result.passed ? ": passed: " : ": FAILED: ") + result.finding;
    if (line.back() != '.') line += '.';  // an SDK description brings its own
    if (!result.passed) line += " " + result.advice;
    return line;
}

std::string runSetupChecks(const cmOptions& options, bool& allPassed) {
    allPassed = true;
    std::string text;
    for (const SetupCheck& check : setupChecks()) {
        gRunning = check.name;
        CheckResult result;
        try {
            result = check.run(options);
        } catch (...) {
            // A failure the check did not expect still leaves the others to run.
            result = failed(supportErrorText(caughtError()), kRunSetupAgain);
        }
        std::string line = checkLine(check.name, result);
        logLine("set-up check: " + line);
        allPassed = allPassed && result.passed;
        text += (text.empty() ? "" : "\r\n") + line;
    }
    gRunning = nullptr;
    return text;
}

void setupCheckSwitch() {
    if (!quietMode()) platform().startWatchdog(kSetupCheckTimeLimitSeconds, checkTimedOut);
    bool allPassed = false;
    std::string text = runSetupChecks(*gOptions, allPassed);
    msgBox(text, allPassed ? BoxStyle::OkOnly : BoxStyle::Exclamation, kSetupCheckTitle);
    if (!allPassed) setExitCode(kExitCheckFailed);
}

}  // namespace marlet

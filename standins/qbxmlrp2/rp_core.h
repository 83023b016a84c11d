#pragma once
// The QuickBooks request processor stand-in: what "QBXMLRP2.RequestProcessor"
// does, without the COM wrapping. A Company is what QuickBooks holds (records,
// menu subscriptions) plus the stand-in's own configuration and log; each
// RequestProcessor is one processor object with its connection and session.
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace qbrp {

// A failing call, as the processor raises it: an HRESULT and its text.
struct Fault : std::exception {
    Fault(int32_t hresult, std::string description)
        : hresult(hresult), description(std::move(description)) {}
    const char* what() const noexcept override { return description.c_str(); }
    int32_t hresult;
    std::string description;
};

// The stand-in's failure numbers (facility ITF, like the SDK's own).
enum : int32_t {
    kHrParseError = int32_t(0x80040400),     // request not well-formed or against the rules
    kHrRequestFailed = int32_t(0x80040401),  // injected: the exchange fails
    kHrCompanyFile = int32_t(0x80040403),    // the company data cannot be opened
    kHrWrongState = int32_t(0x80040404),     // a call out of turn (no connection, bad ticket, ...)
    kHrNotRunning = int32_t(0x80040408),     // injected: QuickBooks cannot be started
    kHrAccessDenied = int32_t(0x80040420),   // injected: the connection is refused
    kHrSessionRefused = int32_t(0x8004041A), // injected: the session is refused
    kHrInvalidArg = int32_t(0x80070057),     // E_INVALIDARG
};

// The names of the files beside the processor.
constexpr const char* kCompanyFileName = "qbcompany.xml";
constexpr const char* kConfigFileName = "qbxmlrp2.ini";
constexpr const char* kSubscriptionsFileName = "qbsubscriptions.xml";
constexpr const char* kLogFileName = "qbxmlrp2.log";
// The path of the company file QuickBooks has open, one line; absent: kSampleCompanyFile.
constexpr const char* kOpenFileName = "qbopenfile.txt";

// The company file open when nothing else was opened, as QuickBooks names it.
constexpr const char* kSampleCompanyFile =
    "C:\\Documents and Settings\\All Users\\Documents\\Intuit\\QuickBooks\\Company Files\\"
    "sample_product-based business.qbw";

// The company file open in QuickBooks as `folder`'s kOpenFileName says, and
// another one opened there (what the host does when a person opens a file).
std::string openCompanyFile(const std::filesystem::path& folder);
bool openAnotherCompanyFile(const std::filesystem::path& folder, const std::string& path);

// The sample company used when there is no company data file.
extern const char kSampleCompany[];

// What the configuration file asks for; see README.md.
struct Config {
    std::string fault;        // "" or one of the fault names
    std::string dropElement;  // path taken out of every returned record ("EntityRef")
    std::string failRequest;  // a query answered with status 1000 (HostQueryRq, UIExtensionSubscriptionQueryRq)
    std::string failCall;        // a member that fails at once ("OpenConnection2"), or ""
    int32_t failHresult = 0;     // with this HRESULT and the SDK's text for it
    std::optional<int> subscriptionStatusCode;  // replaces a subscription answer's status
    std::string subscriptionStatusSeverity = "Error";
    std::string subscriptionStatusMessage;
};
// "key = value" lines, "#" comments. Throws Fault on an unknown key or fault.
Config parseConfig(const std::string& text);

// One call the processor saw.
struct LogEntry {
    std::string call;               // member name, or "Release"
    std::vector<std::string> args;  // arguments other than request text
    std::string request;            // ProcessRequest / ProcessSubscription
    std::string answer;             // returned text (ticket, response)
    bool failed = false;
    int32_t hresult = 0;
    std::string error;
};
std::string formatLogEntry(const LogEntry& entry);
std::vector<LogEntry> parseLog(const std::string& text);

// A stored menu subscription, as a host builds its menu from it.
struct MenuEntry {
    std::string menuText;
    std::string eventTag;
};
struct MenuSubscription {
    std::string subscriberID;
    std::string appName;
    std::string progID;  // or
    std::string clsid;
    std::string addToMenu;
    bool submenu = false;
    std::vector<MenuEntry> entries;
};
std::vector<MenuSubscription> menuSubscriptions(const pugi::xml_document& stored);
// Reads kSubscriptionsFileName in `folder`; none when it is absent.
std::vector<MenuSubscription> loadMenuSubscriptions(const std::filesystem::path& folder);

class Company {
public:
    // Kept in memory only, holding the sample company.
    Company();
    // Backed by the files in `folder`: company data (else the sample), configuration,
    // subscriptions (read again at each use, so that several processes agree) and log.
    explicit Company(std::filesystem::path folder);

    Config config;
    pugi::xml_document data;   // <QBCompany> with CustomerRet and TransactionRet records
    std::string dataProblem;   // why the company data cannot be used, else ""
    std::vector<LogEntry> log; // every entry of this Company's life

    void record(const LogEntry& entry);
    pugi::xml_document& subscriptions();
    void saveSubscriptions();
    // The company file open in QuickBooks (read again at each use when file
    // backed), and another one opened.
    std::string openFile() const;
    void openAnother(const std::string& path);
    bool fileBacked() const { return !folder_.empty(); }

private:
    std::filesystem::path folder_;
    pugi::xml_document subscriptions_;
    std::string openFile_ = kSampleCompanyFile;
};

class RequestProcessor {
public:
    explicit RequestProcessor(std::shared_ptr<Company> company);
    ~RequestProcessor();  // logs "Release" with whatever was left open

    void OpenConnection(const std::string& appID, const std::string& appName);
    void OpenConnection2(const std::string& appID, const std::string& appName, int connectionType);
    std::string BeginSession(const std::string& companyFile, int openMode);
    void EndSession(const std::string& ticket);
    std::string ProcessRequest(const std::string& ticket, const std::string& request);
    std::string ProcessSubscription(const std::string& request);
    void CloseConnection();
    // The path of the company file the session is on.
    std::string GetCurrentCompanyFileName(const std::string& ticket);

private:
    template <class Body>
    auto logged(LogEntry entry, Body body);
    void open(const std::string& appName);
    void failIfAsked() const;
    std::string applyAnswerFault(std::string answer) const;

    std::shared_ptr<Company> company_;
    bool connected_ = false;
    std::string ticket_;
};

// Answers a checked message set (qbrp::checkRequestDocument); rp_answer.cpp.
std::string answerDataRequests(Company& company, pugi::xml_node set);
std::string answerSubscriptionRequests(Company& company, pugi::xml_node set);

}  // namespace qbrp

#include "standins/qbxmlrp2/rp_core.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "standins/qbxmlrp2/rp_schema.h"

namespace qbrp {

namespace fs = std::filesystem;

static bool readWholeFile(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return true;
}

static std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// Values in configuration, data and log files are read as they are written.
constexpr unsigned kParseFlags = pugi::parse_default | pugi::parse_ws_pcdata_single;

// --- configuration

// The SDK's texts for the failures `failCall` can raise, as Intuit's samples give them
// (IntuitDeveloper/QBXML_SDK_Samples: qbdt/c-sharp/qbXML/WCWebService/App_Code/WCWebService.asmx.cs,
// qbdt/vb.NET/QBFC/InvoiceMod/modQBFC.vb); other numbers get a text of their own.
static std::string sdkText(int32_t hresult) {
    switch (static_cast<uint32_t>(hresult)) {
    case 0x80040401: return "Could not access QuickBooks.";
    case 0x80040402: return "Unexpected error. Check the qbsdklog.txt file for possible, additional information.";
    case 0x80040408: return "Could not start QuickBooks.";
    case 0x80040420: return "The QuickBooks user has denied access.";
    case 0x80040422:
        return "This QuickBooks company file is open in single user mode and another application is already "
               "accessing it.";
    default: {
        char text[40];
        std::snprintf(text, sizeof text, "Error 0x%08X.", static_cast<unsigned>(hresult));
        return text;
    }
    }
}

static const char* const kMembers[] = {"OpenConnection",  "OpenConnection2",     "BeginSession",
                                       "EndSession",      "ProcessRequest",      "ProcessSubscription",
                                       "CloseConnection", "GetCurrentCompanyFileName"};

Config parseConfig(const std::string& text) {
    static const char* const kFaults[] = {"qbNotRunning",  "connectionRefused", "sessionRefused",
                                          "requestFails",  "emptyAnswer",       "malformedAnswer"};
    Config c;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        std::string key = trim(line.substr(0, eq));
        std::string value = eq == std::string::npos ? "" : trim(line.substr(eq + 1));
        if (key == "fault") {
            bool known = value.empty() || value == "none";
            for (const char* f : kFaults) known = known || value == f;
            if (!known) throw Fault(kHrInvalidArg, std::string(kConfigFileName) + ": unknown fault \"" + value + "\"");
            c.fault = value == "none" ? "" : value;
        } else if (key == "failCall") {
            std::istringstream parts(value);
            std::string member, number;
            parts >> member >> number;
            bool known = false;
            for (const char* m : kMembers) known = known || member == m;
            unsigned long hresult = 0;
            try {
                hresult = std::stoul(number, nullptr, 0);
            } catch (const std::exception&) {
                known = false;
            }
            if (!known || hresult < 0x80000000ul || hresult > 0xFFFFFFFFul)
                throw Fault(kHrInvalidArg, std::string(kConfigFileName) + ": failCall takes a member and an "
                                           "HRESULT (\"OpenConnection2 0x80040408\"), not \"" + value + "\"");
            c.failCall = member;
            c.failHresult = static_cast<int32_t>(static_cast<uint32_t>(hresult));
        } else if (key == "dropElement") {
            c.dropElement = value;
        } else if (key == "failRequest") {
            if (value != "HostQueryRq" && value != "UIExtensionSubscriptionQueryRq")
                throw Fault(kHrInvalidArg, std::string(kConfigFileName) + ": failRequest takes HostQueryRq or "
                                           "UIExtensionSubscriptionQueryRq, not \"" + value + "\"");
            c.failRequest = value;
        } else if (key == "subscriptionStatusCode") {
            try {
                c.subscriptionStatusCode = std::stoi(value);
            } catch (const std::exception&) {
                throw Fault(kHrInvalidArg, std::string(kConfigFileName) + ": bad status code \"" + value + "\"");
            }
        } else if (key == "subscriptionStatusSeverity") {
            c.subscriptionStatusSeverity = value;
        } else if (key == "subscriptionStatusMessage") {
            c.subscriptionStatusMessage = value;
        } else {
            throw Fault(kHrInvalidArg, std::string(kConfigFileName) + ": unknown key \"" + key + "\"");
        }
    }
    return c;
}

// --- log: each entry "== call", then length-prefixed parts, so any text survives

static void part(std::string& out, const std::string& tag, const std::string& bytes) {
    out += tag + " " + std::to_string(bytes.size()) + "\n" + bytes + "\n";
}

std::string formatLogEntry(const LogEntry& e) {
    std::string out = "== " + e.call + "\n";
    for (const std::string& a : e.args) part(out, "arg", a);
    if (!e.request.empty()) part(out, "request", e.request);
    if (e.failed)
        part(out, "error " + std::to_string(e.hresult), e.error);
    else
        part(out, "answer", e.answer);
    return out;
}

std::vector<LogEntry> parseLog(const std::string& text) {
    std::vector<LogEntry> entries;
    size_t at = 0;
    auto line = [&](std::string& l) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        l = text.substr(at, end - at);
        at = end + 1;
        return true;
    };
    for (std::string l; line(l);) {
        if (l.rfind("== ", 0) == 0) {
            entries.emplace_back();
            entries.back().call = l.substr(3);
            continue;
        }
        if (entries.empty()) break;
        std::istringstream head(l);
        std::string tag;
        head >> tag;
        LogEntry& e = entries.back();
        if (tag == "error") {
            e.failed = true;
            head >> e.hresult;
        }
        size_t length = 0;
        head >> length;
        if (!head || at + length > text.size()) break;
        std::string bytes = text.substr(at, length);
        at += length + 1;
        if (tag == "arg") e.args.push_back(bytes);
        else if (tag == "request") e.request = bytes;
        else if (tag == "answer") e.answer = bytes;
        else if (tag == "error") e.error = bytes;
    }
    return entries;
}

// --- stored menu subscriptions

std::vector<MenuSubscription> menuSubscriptions(const pugi::xml_document& stored) {
    std::vector<MenuSubscription> out;
    for (pugi::xml_node ret : stored.child("UIExtensionSubscriptions").children("UIExtensionSubscriptionRet")) {
        MenuSubscription s;
        s.subscriberID = ret.child_value("SubscriberID");
        pugi::xml_node cb = ret.child("COMCallbackInfo");
        s.appName = cb.child_value("AppName");
        s.progID = cb.child_value("ProgID");
        s.clsid = cb.child_value("CLSID");
        pugi::xml_node menu = ret.child("MenuExtensionSubscription");
        s.addToMenu = menu.child_value("AddToMenu");
        pugi::xml_node items = menu;
        if (pugi::xml_node sub = menu.child("Submenu")) {
            s.submenu = true;
            items = sub;
        }
        for (pugi::xml_node item : items.children("MenuItem"))
            s.entries.push_back({item.child_value("MenuText"), item.child_value("EventTag")});
        out.push_back(s);
    }
    return out;
}

std::vector<MenuSubscription> loadMenuSubscriptions(const fs::path& folder) {
    pugi::xml_document doc;
    std::string bytes;
    if (readWholeFile(folder / kSubscriptionsFileName, bytes))
        doc.load_buffer(bytes.data(), bytes.size(), kParseFlags);
    return menuSubscriptions(doc);
}

std::string openCompanyFile(const fs::path& folder) {
    std::string bytes;
    if (!readWholeFile(folder / kOpenFileName, bytes)) return kSampleCompanyFile;
    bytes = bytes.substr(0, bytes.find_first_of("\r\n"));
    return bytes.empty() ? std::string(kSampleCompanyFile) : bytes;
}

bool openAnotherCompanyFile(const fs::path& folder, const std::string& path) {
    std::ofstream out(folder / kOpenFileName, std::ios::binary | std::ios::trunc);
    out << path << "\r\n";
    return static_cast<bool>(out.flush());
}

// --- the company

Company::Company() { data.load_string(kSampleCompany, kParseFlags); }

Company::Company(fs::path folder) : folder_(std::move(folder)) {
    std::string bytes;
    if (readWholeFile(folder_ / kCompanyFileName, bytes)) {
        pugi::xml_parse_result r = data.load_buffer(bytes.data(), bytes.size(), kParseFlags);
        if (!r)
            dataProblem = std::string(kCompanyFileName) + " cannot be read: " + r.description();
        else if (!data.child("QBCompany"))
            dataProblem = std::string(kCompanyFileName) + " has no <QBCompany> element";
    } else {
        data.load_string(kSampleCompany, kParseFlags);
    }
    if (readWholeFile(folder_ / kConfigFileName, bytes)) {
        try {
            config = parseConfig(bytes);
        } catch (const Fault& f) {
            dataProblem = f.description;
        }
    }
}

void Company::record(const LogEntry& entry) {
    log.push_back(entry);
    if (!fileBacked()) return;
    std::ofstream out(folder_ / kLogFileName, std::ios::binary | std::ios::app);
    out << formatLogEntry(entry);
}

pugi::xml_document& Company::subscriptions() {
    if (fileBacked()) {
        std::string bytes;
        subscriptions_.reset();
        if (readWholeFile(folder_ / kSubscriptionsFileName, bytes))
            subscriptions_.load_buffer(bytes.data(), bytes.size(), kParseFlags);
    }
    if (!subscriptions_.child("UIExtensionSubscriptions"))
        subscriptions_.append_child("UIExtensionSubscriptions");
    return subscriptions_;
}

void Company::saveSubscriptions() {
    if (!fileBacked()) return;
    fs::path path = folder_ / kSubscriptionsFileName;
    fs::path temp = path;
    temp += ".new";
    if (!subscriptions_.save_file(temp.c_str(), "  ", pugi::format_default, pugi::encoding_utf8))
        throw Fault(kHrCompanyFile, std::string(kSubscriptionsFileName) + " cannot be written");
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) throw Fault(kHrCompanyFile, std::string(kSubscriptionsFileName) + " cannot be replaced");
}

std::string Company::openFile() const { return fileBacked() ? openCompanyFile(folder_) : openFile_; }

void Company::openAnother(const std::string& path) {
    if (!fileBacked()) openFile_ = path;
    else if (!openAnotherCompanyFile(folder_, path))
        throw Fault(kHrCompanyFile, std::string(kOpenFileName) + " cannot be written");
}

// --- the processor

static LogEntry entry(const char* call, std::vector<std::string> args = {},
                      const std::string& request = "") {
    LogEntry e;
    e.call = call;
    e.args = std::move(args);
    e.request = request;
    return e;
}

static const char* const kParseErrorText =
    "QuickBooks found an error when parsing the provided XML text stream.";

RequestProcessor::RequestProcessor(std::shared_ptr<Company> company) : company_(std::move(company)) {}

RequestProcessor::~RequestProcessor() {
    try {
        LogEntry e = entry("Release");
        e.args.push_back(!ticket_.empty() ? "session open" : connected_ ? "connection open" : "closed");
        company_->record(e);
    } catch (...) {
    }
}

template <class Body>
auto RequestProcessor::logged(LogEntry entry, Body body) {
    try {
        const Config& c = company_->config;
        if (c.failCall == entry.call) throw Fault(c.failHresult, sdkText(c.failHresult));
        auto result = body();
        entry.answer = result;
        company_->record(entry);
        return result;
    } catch (const Fault& f) {
        entry.failed = true;
        entry.hresult = f.hresult;
        entry.error = f.description;
        company_->record(entry);
        throw;
    }
}

void RequestProcessor::open(const std::string& appName) {
    const Config& c = company_->config;
    if (!company_->dataProblem.empty()) throw Fault(kHrCompanyFile, company_->dataProblem);
    if (connected_) throw Fault(kHrWrongState, "A connection is already open.");
    if (appName.empty()) throw Fault(kHrInvalidArg, "The application name must not be empty.");
    if (c.fault == "qbNotRunning") throw Fault(kHrNotRunning, "Could not start QuickBooks.");
    if (c.fault == "connectionRefused")
        throw Fault(kHrAccessDenied, "The QuickBooks user has denied access.");
    connected_ = true;
}

void RequestProcessor::OpenConnection(const std::string& appID, const std::string& appName) {
    logged(entry("OpenConnection", {appID, appName}), [&] {
        open(appName);
        return std::string();
    });
}

void RequestProcessor::OpenConnection2(const std::string& appID, const std::string& appName,
                                       int connectionType) {
    logged(entry("OpenConnection2", {appID, appName, std::to_string(connectionType)}), [&] {
        if (connectionType < 0 || connectionType > 3)
            throw Fault(kHrInvalidArg, "The connection type must be 0 to 3.");
        open(appName);
        return std::string();
    });
}

static std::string newTicket() {
    static unsigned counter = 0;
    auto t = std::chrono::system_clock::now().time_since_epoch().count();
    char text[48];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012llX}", ++counter,
                  static_cast<unsigned long long>(t) & 0xFFFFFFFFFFFFull);
    return text;
}

std::string RequestProcessor::BeginSession(const std::string& companyFile, int openMode) {
    return logged(entry("BeginSession", {companyFile, std::to_string(openMode)}), [&] {
        if (!connected_) throw Fault(kHrWrongState, "BeginSession: no connection is open.");
        if (!ticket_.empty()) throw Fault(kHrWrongState, "BeginSession: a session is already open.");
        if (openMode < 0 || openMode > 2) throw Fault(kHrInvalidArg, "The open mode must be 0 to 2.");
        if (!companyFile.empty())
            throw Fault(kHrCompanyFile, "Could not open the company file \"" + companyFile +
                                            "\": only the file open in QuickBooks (\"\") is served.");
        if (company_->config.fault == "sessionRefused")
            throw Fault(kHrSessionRefused, "This application does not have permission to access "
                                           "this QuickBooks company data file.");
        ticket_ = newTicket();
        return ticket_;
    });
}

void RequestProcessor::EndSession(const std::string& ticket) {
    logged(entry("EndSession", {ticket}), [&] {
        if (ticket_.empty() || ticket != ticket_)
            throw Fault(kHrWrongState, "EndSession: the ticket is not that of an open session.");
        ticket_.clear();
        return std::string();
    });
}

static pugi::xml_node parseRequest(pugi::xml_document& doc, const std::string& text, MsgSetKind kind) {
    pugi::xml_parse_result r = doc.load_buffer(
        text.data(), text.size(),
        kParseFlags | pugi::parse_pi | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_comments);
    if (!r)
        throw Fault(kHrParseError, std::string(kParseErrorText) + " " + r.description() +
                                       " at offset " + std::to_string(r.offset) + ".");
    try {
        int version = 0;
        return checkRequestDocument(doc, kind, version);
    } catch (const Invalid& e) {
        throw Fault(kHrParseError, std::string(kParseErrorText) + " " + e.what() + ".");
    }
}

// Checked before anything is answered, so that a failed exchange changes nothing.
void RequestProcessor::failIfAsked() const {
    if (company_->config.fault == "requestFails")
        throw Fault(kHrRequestFailed, "QuickBooks stopped responding before the request was processed.");
}

std::string RequestProcessor::applyAnswerFault(std::string answer) const {
    const std::string& fault = company_->config.fault;
    if (fault == "emptyAnswer") return "";
    if (fault == "malformedAnswer") return answer.substr(0, answer.size() / 2);
    return answer;
}

std::string RequestProcessor::ProcessRequest(const std::string& ticket, const std::string& request) {
    return logged(entry("ProcessRequest", {ticket}, request), [&] {
        if (!connected_) throw Fault(kHrWrongState, "ProcessRequest: no connection is open.");
        if (ticket_.empty() || ticket != ticket_)
            throw Fault(kHrWrongState, "ProcessRequest: the ticket is not that of an open session.");
        pugi::xml_document doc;
        pugi::xml_node set = parseRequest(doc, request, MsgSetKind::Data);
        failIfAsked();
        return applyAnswerFault(answerDataRequests(*company_, set));
    });
}

std::string RequestProcessor::ProcessSubscription(const std::string& request) {
    return logged(entry("ProcessSubscription", {}, request), [&] {
        if (!connected_) throw Fault(kHrWrongState, "ProcessSubscription: no connection is open.");
        pugi::xml_document doc;
        pugi::xml_node set = parseRequest(doc, request, MsgSetKind::Subscription);
        failIfAsked();
        return applyAnswerFault(answerSubscriptionRequests(*company_, set));
    });
}

std::string RequestProcessor::GetCurrentCompanyFileName(const std::string& ticket) {
    return logged(entry("GetCurrentCompanyFileName", {ticket}), [&] {
        if (!connected_) throw Fault(kHrWrongState, "GetCurrentCompanyFileName: no connection is open.");
        if (ticket_.empty() || ticket != ticket_)
            throw Fault(kHrWrongState, "GetCurrentCompanyFileName: the ticket is not that of an open session.");
        return company_->openFile();
    });
}

void RequestProcessor::CloseConnection() {
    logged(entry("CloseConnection"), [&] {
        if (!connected_) throw Fault(kHrWrongState, "CloseConnection: no connection is open.");
        if (!ticket_.empty())
            throw Fault(kHrWrongState, "CloseConnection: a session is still open; end it first.");
        connected_ = false;
        return std::string();
    });
}

}  // namespace qbrp

#include "qb/session.h"

#include "app/log.h"
#include "platform/error.h"

namespace marlet {

// Raised when an exchange is asked for in the wrong state (a caller's mistake).
constexpr int32_t kErrNotConnected = -2147220987;

// The session's ticket, for an exchange that needs one.
static const std::string& openTicket(const std::string& ticket) {
    if (ticket.empty()) throw Error(kErrNotConnected, "No QuickBooks session is open.");
    return ticket;
}

static std::string textOf(const Value& v) {
    if (const std::string* s = std::get_if<std::string>(&v)) return *s;
    return "";
}

// Every step with the request processor goes into the log with its outcome.
template <class Step>
static auto logged(const char* member, Step step) {
    try {
        auto result = step();
        logLine(std::string("QuickBooks ") + member + ": done");
        return result;
    } catch (const Error& e) {
        logLine(std::string("QuickBooks ") + member + ": " + supportErrorText(e));
        throw;
    }
}

static Value call(AutoObject& rp, const char* member, const std::vector<Value>& args) {
    return logged(member, [&] { return rp.call(member, args); });
}

// The status of each response, as support asks for it.
static MsgSetResponse answerOf(const Value& xml) {
    MsgSetResponse answer(textOf(xml));
    for (int i = 0; i < answer.count(); i++) {
        const Response& r = answer.at(i);
        logLine(std::string("QuickBooks answer ") + r.name() + ": statusCode " + std::to_string(r.statusCode) +
                ", statusSeverity " + r.statusSeverity + ", statusMessage " + r.statusMessage);
    }
    return answer;
}

void QBSessionManager::connect(const char* member, const std::vector<Value>& args) {
    // Created here rather than with the manager: parsing an event needs no SDK.
    if (!rp_) rp_ = logged(kRequestProcessorProgID, [] { return platform().createObject(kRequestProcessorProgID); });
    call(*rp_, member, args);
    connected_ = true;
}

void QBSessionManager::openConnection(const std::string& appID, const std::string& appName) {
    connect("OpenConnection", {appID, appName});
}

void QBSessionManager::openConnection2(const std::string& appID, const std::string& appName,
                                       int connectionType) {
    connect("OpenConnection2", {appID, appName, int32_t(connectionType)});
}

AutoObject& QBSessionManager::processor() {
    if (!connected_) throw Error(kErrNotConnected, "No connection to QuickBooks is open.");
    return *rp_;
}

void QBSessionManager::beginSession(const std::string& companyFile, int openMode) {
    ticket_ = textOf(call(processor(), "BeginSession", {companyFile, int32_t(openMode)}));
}

MsgSetRequest QBSessionManager::createMsgSetRequest(const std::string& country, int majorVersion,
                                                    int minorVersion) {
    return MsgSetRequest(country, majorVersion, minorVersion);
}

MsgSetResponse QBSessionManager::doRequests(const MsgSetRequest& request) {
    AutoObject& rp = processor();
    return answerOf(call(rp, "ProcessRequest", {openTicket(ticket_), request.toXml()}));
}

std::string QBSessionManager::currentCompanyFileName() {
    AutoObject& rp = processor();
    return textOf(call(rp, "GetCurrentCompanyFileName", {openTicket(ticket_)}));
}

void QBSessionManager::endSession() {
    AutoObject& rp = processor();
    call(rp, "EndSession", {openTicket(ticket_)});
    ticket_.clear();
}

SubscriptionMsgSetRequest QBSessionManager::createSubscriptionMsgSetRequest(int majorVersion,
                                                                            int minorVersion) {
    return SubscriptionMsgSetRequest(majorVersion, minorVersion);
}

MsgSetResponse QBSessionManager::doSubscriptionRequests(const SubscriptionMsgSetRequest& request) {
    return answerOf(call(processor(), "ProcessSubscription", {request.toXml()}));
}

void QBSessionManager::closeConnection() {
    if (!connected_) return;
    // Marked closed first: a failing close is not tried a second time.
    connected_ = false;
    ticket_.clear();
    call(*rp_, "CloseConnection", {});
}

// --- QBConnection

void QBConnection::open(Road road, const std::string& appName, const std::string& appGuid) {
    if (road == Road::Subscriptions) {
        sm_.openConnection("", appName);
        return;
    }
    sm_.openConnection2(appGuid, appName, kConnectionLocalQBDLaunchUI);
    sm_.beginSession("", kOpenModeDoNotCare);
}

void QBConnection::close() {
    if (!sm_.ticket_.empty()) sm_.endSession();
    sm_.closeConnection();
}

QBConnection::~QBConnection() {
    if (leftover_ == Leftover::Open) return;
    // A failing EndSession is tried again here once, then the connection closed:
    // QuickBooks refuses to close a connection with a session open.
    try {
        if (!sm_.ticket_.empty()) sm_.endSession();
    } catch (const Error&) {
    }
    try {
        sm_.closeConnection();
    } catch (const Error&) {
    }
}

}  // namespace marlet

#include "qb/session.h"

#include "platform/error.h"

namespace marlet {

// Raised when an exchange is asked for in the wrong state (a caller's mistake).
constexpr int32_t kErrNotConnected = -2147220987;

static std::string textOf(const Value& v) {
    if (const std::string* s = std::get_if<std::string>(&v)) return *s;
    return "";
}

void QBSessionManager::connect(const char* member, const std::vector<Value>& args) {
    // Created here rather than with the manager: parsing an event needs no SDK.
    if (!rp_) rp_ = platform().createObject(kRequestProcessorProgID);
    rp_->call(member, args);
    connected_ = true;
}

void QBSessionManager::OpenConnection(const std::string& appID, const std::string& appName) {
    connect("OpenConnection", {appID, appName});
}

void QBSessionManager::OpenConnection2(const std::string& appID, const std::string& appName,
                                       int connectionType) {
    connect("OpenConnection2", {appID, appName, int32_t(connectionType)});
}

AutoObject& QBSessionManager::processor() {
    if (!connected_) throw Error(kErrNotConnected, "No connection to QuickBooks is open.");
    return *rp_;
}

void QBSessionManager::BeginSession(const std::string& companyFile, int openMode) {
    ticket_ = textOf(processor().call("BeginSession", {companyFile, int32_t(openMode)}));
}

MsgSetRequest QBSessionManager::CreateMsgSetRequest(const std::string& country, int majorVersion,
                                                    int minorVersion) {
    return MsgSetRequest(country, majorVersion, minorVersion);
}

MsgSetResponse QBSessionManager::DoRequests(const MsgSetRequest& request) {
    AutoObject& rp = processor();
    if (ticket_.empty()) throw Error(kErrNotConnected, "No QuickBooks session is open.");
    return MsgSetResponse(textOf(rp.call("ProcessRequest", {ticket_, request.ToXMLString()})));
}

void QBSessionManager::EndSession() {
    AutoObject& rp = processor();
    if (ticket_.empty()) throw Error(kErrNotConnected, "No QuickBooks session is open.");
    rp.call("EndSession", {ticket_});
    ticket_.clear();
}

SubscriptionMsgSetRequest QBSessionManager::CreateSubscriptionMsgSetRequest(int majorVersion,
                                                                            int minorVersion) {
    return SubscriptionMsgSetRequest(majorVersion, minorVersion);
}

MsgSetResponse QBSessionManager::DoSubscriptionRequests(const SubscriptionMsgSetRequest& request) {
    return MsgSetResponse(textOf(processor().call("ProcessSubscription", {request.ToXMLString()})));
}

void QBSessionManager::CloseConnection() {
    if (!connected_) return;
    // Marked closed first: a failing close is not tried a second time.
    connected_ = false;
    ticket_.clear();
    rp_->call("CloseConnection", {});
}

}  // namespace marlet

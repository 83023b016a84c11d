#pragma once
// The session with QuickBooks: a connection, a company-file session and the
// exchange of qbXML message sets, carried out by the SDK's request processor
// ("QBXMLRP2.RequestProcessor", late bound). Each exchange uses its own manager.
#include <memory>
#include <string>

#include "platform/platform.h"
#include "qb/qb_events.h"
#include "qb/qbxml_request.h"
#include "qb/qbxml_response.h"

namespace marlet {

constexpr const char* kRequestProcessorProgID = "QBXMLRP2.RequestProcessor";

enum : int {
    kConnectionLocalQBDLaunchUI = 3,  // connection types of OpenConnection2
    kOpenModeDoNotCare = 2,           // open modes of BeginSession
};

class QBSessionManager {
public:
    void OpenConnection(const std::string& appID, const std::string& appName);
    void OpenConnection2(const std::string& appID, const std::string& appName, int connectionType);
    // `companyFile` "" is the file open in QuickBooks.
    void BeginSession(const std::string& companyFile, int openMode);
    MsgSetRequest CreateMsgSetRequest(const std::string& country, int majorVersion,
                                      int minorVersion);
    MsgSetResponse DoRequests(const MsgSetRequest& request);
    void EndSession();
    SubscriptionMsgSetRequest CreateSubscriptionMsgSetRequest(int majorVersion, int minorVersion);
    MsgSetResponse DoSubscriptionRequests(const SubscriptionMsgSetRequest& request);
    // Does nothing when no connection is open.
    void CloseConnection();
    // Parses event text; needs no connection and no SDK.
    EventsMsgSet ToEventsMsgSet(const std::string& eventXML, int majorVersion, int minorVersion) {
        return marlet::ToEventsMsgSet(eventXML, majorVersion, minorVersion);
    }

private:
    void connect(const char* member, const std::vector<Value>& args);
    AutoObject& processor();

    std::unique_ptr<AutoObject> rp_;  // created by the first OpenConnection
    bool connected_ = false;
    std::string ticket_;              // of the open session, else ""
};

}  // namespace marlet

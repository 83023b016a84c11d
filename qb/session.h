#pragma once
// The session with QuickBooks: a connection, a company-file session and the
// exchange of qbXML message sets, carried out by the SDK's request processor
// ("QBXMLRP2.RequestProcessor", late bound). Each exchange uses its own
// connection, opened and closed by a QBConnection: nothing outside qb/ calls
// OpenConnection, OpenConnection2, BeginSession, EndSession or CloseConnection.
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

// Its members bear the names of the SDK's session manager, the first letter
// lowered; doRequests calls the request processor's ProcessRequest,
// doSubscriptionRequests its ProcessSubscription, the others their namesakes.
class QBSessionManager {
public:
    MsgSetRequest createMsgSetRequest(const std::string& country, int majorVersion,
                                      int minorVersion);
    MsgSetResponse doRequests(const MsgSetRequest& request);
    // The path of the company file the open session is on, as QuickBooks
    // names it. Request processors older than the call refuse it (an Error).
    std::string currentCompanyFileName();
    SubscriptionMsgSetRequest createSubscriptionMsgSetRequest(int majorVersion, int minorVersion);
    MsgSetResponse doSubscriptionRequests(const SubscriptionMsgSetRequest& request);
    // Parses event text; needs no connection and no SDK.
    EventsMsgSet toEventsMsgSet(const std::string& eventXML) { return marlet::toEventsMsgSet(eventXML); }

private:
    // Opened and closed by a QBConnection only.
    void openConnection(const std::string& appID, const std::string& appName);
    void openConnection2(const std::string& appID, const std::string& appName, int connectionType);
    // `companyFile` "" is the file open in QuickBooks.
    void beginSession(const std::string& companyFile, int openMode);
    void endSession();
    // Does nothing when no connection is open.
    void closeConnection();
    void connect(const char* member, const std::vector<Value>& args);
    AutoObject& processor();

    std::unique_ptr<AutoObject> rp_;  // created by the first OpenConnection
    bool connected_ = false;
    std::string ticket_;              // of the open session, else ""

    friend class QBConnection;
};

// One exchange's connection to QuickBooks and, when asked, its session on the
// company file open there. close() ends both in order; what the guard does with
// them when it goes without close() (a failure on the way) is the caller's
// stated choice.
class QBConnection {
public:
    // The two roads into QuickBooks; a check must take the one its work takes.
    enum class Road {
        // OpenConnection("", appName): adding, removing and querying the menu.
        Subscriptions,
        // OpenConnection2(appGuid, appName, kConnectionLocalQBDLaunchUI), then
        // BeginSession("", kOpenModeDoNotCare): the lookups of a menu event.
        Work,
    };
    // What a connection still open when the guard goes is left as.
    enum class Leftover {
        // The session is ended and the connection closed; failures are dropped,
        // the first one has already reached the caller.
        Closed,
        // Nothing more is asked of QuickBooks: its request processor is released
        // with whatever is open (QuickBooks ends both itself).
        Open,
    };

    explicit QBConnection(Leftover leftover) : leftover_(leftover) {}
    ~QBConnection();
    QBConnection(const QBConnection&) = delete;
    QBConnection& operator=(const QBConnection&) = delete;

    // Opens the road; Work begins the session too.
    void open(Road road, const std::string& appName, const std::string& appGuid = "");
    // Ends the session, if one is open, then closes the connection, if one is
    // open; a failure reaches the caller.
    void close();

    QBSessionManager& sm() { return sm_; }
    QBSessionManager* operator->() { return &sm_; }

private:
    QBSessionManager sm_;
    Leftover leftover_;
};

}  // namespace marlet

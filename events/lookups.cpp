#include "events/lookups.h"

#include <cstdio>

#include "events/launch.h"
#include "app/app.h"
#include "app/log.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "qb/session.h"

namespace marlet {

// Raised when the session is on another company file than the pick's.
constexpr int32_t kErrOtherCompanyFile = -2147220986;

// Whether the session is on the file the pick was made in. Unconfirmed (no
// name on either side) counts as the same, and is logged.
static void checkCompanyFile(QBConnection& qb, const std::string& pickedIn) {
    if (pickedIn.empty()) {
        logLine("company file not confirmed: the event names none");
        return;
    }
    std::string open;
    try {
        open = qb->currentCompanyFileName();
    } catch (const Error& e) {
        logLine("company file not confirmed: QuickBooks does not name it (" + supportErrorText(e) + ")");
        return;
    }
    if (open.empty()) {
        logLine("company file not confirmed: QuickBooks names none");
        return;
    }
    if (sameCompanyFile(open, pickedIn)) return;
    logLine("company file changed: picked in \"" + pickedIn + "\", open now \"" + open + "\"; nothing started");
    try {
        qb.close();
    } catch (const Error&) {  // logged; the box tells of the other file
    }
    throw Error(kErrOtherCompanyFile, "The menu entry was picked in the company file \"" + pickedIn +
                                          "\", but QuickBooks now has \"" + open +
                                          "\" open, so nothing was started. Please open \"" + pickedIn +
                                          "\" and pick the entry again.");
}

// Asks QuickBooks for one record by its identifier, in a session of its own,
// once it is sure the session is on the file the record was picked in.
// The session is over before the answer is read. A failing step is the last
// call QuickBooks sees: the connection is left open, not closed, so that the
// one box tells of that failure alone.
static MsgSetResponse query(const char* requestName, const char* idName, const std::string& id,
                            const std::string& pickedIn) {
    QBConnection qb(QBConnection::Leftover::Open);
    qb.open(QBConnection::Road::Work, appNameString(), appGuidString());
    checkCompanyFile(qb, pickedIn);
    MsgSetRequest request = qb->createMsgSetRequest("US", kQbxmlMajorVersion, kQbxmlMinorVersion);
    request.onError = kContinueOnError;
    request.append(requestName).append(idName, id);
    MsgSetResponse answer = qb->doRequests(request);
    qb.close();
    return answer;
}

// "MM-DD-YYYY HH.MM.SS", local time.
static std::string dateTimeStamp() {
    LocalTime t = platform().localTime();
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d %02d.%02d.%02d", t.month, t.day, t.year,
                   t.hour, t.minute, t.second);
    return text;
}

// Every failure ends the lookup with one box; no further call reaches QuickBooks.
template <class Body>
static void reportingFailures(Body body) {
    try {
        body();
    } catch (...) {
        msgBox(caughtError().description(), BoxStyle::Exclamation, "Error");
    }
}

using Launch = void (*)(const cmOptions&, const DorvexJob&);

static void lookupTransaction(const cmOptions& options, const std::string& txnID, const std::string& pickedIn,
                              bool scan) {
    reportingFailures([&] {
        MsgSetResponse answer = query("TransactionQueryRq", "TxnID", txnID, pickedIn);
        Record txn = answer.at(0).detail(0);
        DorvexJob job;
        job.memo = txn.value("Memo");
        bool hasRefNumber = txn.has("RefNumber");
        job.entityName = txn.required("EntityRef/FullName");
        job.txnType = txn.required("TxnType");
        job.refNumber = hasRefNumber ? txn.value("RefNumber")
                        : scan       ? dateTimeStamp()
                                     : std::string();
        Launch launch = scan ? launchScan : launchRetrieve;
        launch(options, job);
    });
}

void scanTransaction(const cmOptions& options, const std::string& txnID, const std::string& pickedIn) {
    lookupTransaction(options, txnID, pickedIn, true);
}
void retrieveTransaction(const cmOptions& options, const std::string& txnID, const std::string& pickedIn) {
    lookupTransaction(options, txnID, pickedIn, false);
}

void scanCustomer(const cmOptions& options, const std::string& listID, const std::string& pickedIn) {
    reportingFailures([&] {
        MsgSetResponse answer = query("CustomerQueryRq", "ListID", listID, pickedIn);
        Record customer = answer.at(0).detail(0);
        std::string memo;
        if (options.promptMemo)
            memo = inputBox("Please enter a memo to be associated with the selected "
                               "customer and document to be scanned.",
                               "Enter Memo");
        launchScan(options, {customer.required("FullName"), "", "", memo});
    });
}

void retrieveCustomer(const cmOptions& options, const std::string& listID, const std::string& pickedIn) {
    reportingFailures([&] {
        MsgSetResponse answer = query("CustomerQueryRq", "ListID", listID, pickedIn);
        launchRetrieve(options, {answer.at(0).detail(0).required("FullName"), "", "", ""});
    });
}

}  // namespace marlet

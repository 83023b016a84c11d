#include "commands/menu_commands.h"

#include "app/app.h"
#include "platform/error.h"
#include "qb/menu_subscription.h"
#include "qb/session.h"

namespace marlet {

namespace {

// The boxes that tell how QuickBooks answered.
struct Outcome {
    const char* doneText;
    const char* doneTitle;
    const char* refusedText;  // followed by QuickBooks' message and the hint
    const char* refusedHint;
    const char* refusedTitle;
};

const Outcome kAdded = {
    "Successfully added Dorvex access to QuickBooks File menu, restart QuickBooks to see results.",
    "Menu Added",
    "Could not add to QuickBooks menu: ",
    "\r\n\r\nIt's possible the Dorvex menu is already installed in QuickBooks.",
    "Error Adding Menu",
};

const Outcome kRemoved = {
    "Successfully removed Dorvex access from QuickBooks File menu, restart QuickBooks to see results.",
    "Menu Removed",
    "Could not remove from QuickBooks menu: ",
    "\r\n\r\nIt is possible that the Dorvex menu has already been removed from QuickBooks.",
    "Error Removing Menu",
};

// One subscription request over the connection of `qb`, and the box for its answer.
// Warnings are failures too: the severity is not read.
void subscribe(QBConnection& qb, const std::string& appName, const std::string& appGuid,
               void (*append)(SubscriptionMsgSetRequest&, const std::string&), const Outcome& outcome) {
    qb.open(QBConnection::Road::Subscriptions, appName);
    SubscriptionMsgSetRequest set = qb->createSubscriptionMsgSetRequest(kQbxmlMajorVersion, kQbxmlMinorVersion);
    append(set, appGuid);
    MsgSetResponse answer = qb->doSubscriptionRequests(set);
    const Response& response = answer.at(0);
    if (response.statusCode == 0) {
        msgBox(outcome.doneText, BoxStyle::OkOnly, outcome.doneTitle);
    } else {
        setExitCode(kExitMenuRefused);
        msgBox(outcome.refusedText + response.statusMessage + outcome.refusedHint, BoxStyle::OkOnly, outcome.refusedTitle);
    }
    qb.close();
}

}  // namespace

void addMenu(const std::string& appName, const std::string& appGuid) {
    // Left open by the guard: the handler closes it itself, before its box, so
    // that a failure to close reaches the caller instead of the box.
    QBConnection qb(QBConnection::Leftover::Open);
    try {
        subscribe(qb, appName, appGuid, appendMenuAddRequest, kAdded);
    } catch (const Error& e) {
        qb.close();
        setExitCode(kExitMenuFailed);
        msgBox("Encountered error subscribing: " + e.description());
    }
}

void removeMenu(const std::string& appName, const std::string& appGuid) {
    // Left open: the caller's handler reports the failure, and QuickBooks hears
    // nothing more from this connection.
    QBConnection qb(QBConnection::Leftover::Open);
    subscribe(qb, appName, appGuid, appendMenuDelRequest, kRemoved);
}

void installSwitch() { addMenu(appNameString(), appGuidString()); }

void uninstallSwitch() { removeMenu(appNameString(), appGuidString()); }

}  // namespace marlet

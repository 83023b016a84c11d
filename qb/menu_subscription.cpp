// Adding and removing Marlet's entries in QuickBooks' File menu.
#include "qb/menu_subscription.h"

#include "app/app.h"
#include "platform/error.h"
#include "qb/session.h"

namespace marlet {

struct MenuEntry {
    const char* text;
    const char* eventTag;
};

// The listener dispatches on these tags.
static const MenuEntry kMenuEntries[] = {
    {"Scan Documents", "scan"},
    {"Retrieve Documents", "retrieve"},
    {"Options", "options"},
    {"Manual", "manual"},
};

// qbXML takes either one MenuItem or one Submenu of several, so the four entries
// go in one Submenu, which has no text or condition of its own.
static void appendAddRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID) {
    RequestElement& add = set.Append("UIExtensionSubscriptionAddRq").Append("UIExtensionSubscriptionAdd");
    add.Append("SubscriberID", subscriberID);
    RequestElement& callback = add.Append("COMCallbackInfo");
    callback.Append("AppName", "Marlet");
    callback.Append("ProgID", "Marlet.QBMenuListener");
    RequestElement& menu = add.Append("MenuExtensionSubscription");
    menu.Append("AddToMenu", "File");
    RequestElement& submenu = menu.Append("Submenu");
    for (const MenuEntry& entry : kMenuEntries) {
        RequestElement& item = submenu.Append("MenuItem");
        item.Append("MenuText", entry.text);
        item.Append("EventTag", entry.eventTag);
    }
}

static void appendDelRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID) {
    RequestElement& del = set.Append("SubscriptionDelRq");
    del.Append("SubscriberID", subscriberID);
    del.Append("SubscriptionType", "UIExtension");
}

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

// One subscription request over a connection of `sm`, and the box for its answer.
// Warnings are failures too: the severity is not read.
static void subscribe(QBSessionManager& sm, const std::string& appName, const std::string& appGUID,
                      void (*append)(SubscriptionMsgSetRequest&, const std::string&), const Outcome& outcome) {
    sm.OpenConnection("", appName);
    SubscriptionMsgSetRequest set = sm.CreateSubscriptionMsgSetRequest(4, 0);
    append(set, appGUID);
    MsgSetResponse answer = sm.DoSubscriptionRequests(set);
    const Response& response = answer.GetAt(0);
    if (response.StatusCode == 0) {
        MsgBox(outcome.doneText, kOkOnly, outcome.doneTitle);
    } else {
        setExitCode(kExitMenuRefused);
        MsgBox(outcome.refusedText + response.StatusMessage + outcome.refusedHint, kOkOnly, outcome.refusedTitle);
    }
    sm.CloseConnection();
}

void addMenu(const std::string& appName, const std::string& appGUID) {
    QBSessionManager sm;
    try {
        subscribe(sm, appName, appGUID, appendAddRequest, kAdded);
    } catch (const Error& e) {
        // Closed before the box; a failure to close reaches the caller instead.
        sm.CloseConnection();
        setExitCode(kExitMenuFailed);
        MsgBox("Encountered error subscribing: " + e.description());
    }
}

void removeMenu(const std::string& appName, const std::string& appGUID) {
    QBSessionManager sm;
    subscribe(sm, appName, appGUID, appendDelRequest, kRemoved);
}

}  // namespace marlet

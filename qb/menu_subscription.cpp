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

void addMenu(const std::string& appName, const std::string& appGUID) {
    QBSessionManager sm;
    try {
        sm.OpenConnection("", appName);
        SubscriptionMsgSetRequest set = sm.CreateSubscriptionMsgSetRequest(4, 0);
        appendAddRequest(set, appGUID);
        MsgSetResponse answer = sm.DoSubscriptionRequests(set);
        const Response& response = answer.GetAt(0);
        // Warnings are failures too: the severity is not read.
        if (response.StatusCode == 0)
            MsgBox("Successfully added Dorvex access to QuickBooks File menu, restart QuickBooks "
                   "to see results.",
                   kOkOnly, "Menu Added");
        else
            MsgBox("Could not add to QuickBooks menu: " + response.StatusMessage +
                       "\r\n\r\nIt's possible the Dorvex menu is already installed in QuickBooks.",
                   kOkOnly, "Error Adding Menu");
        sm.CloseConnection();
    } catch (const Error& e) {
        // Closed before the box; a failure to close reaches the caller instead.
        sm.CloseConnection();
        MsgBox("Encountered error subscribing: " + e.description());
    }
}

void removeMenu(const std::string& appName, const std::string& appGUID) {
    QBSessionManager sm;
    sm.OpenConnection("", appName);
    SubscriptionMsgSetRequest set = sm.CreateSubscriptionMsgSetRequest(4, 0);
    RequestElement& del = set.Append("SubscriptionDelRq");
    del.Append("SubscriberID", appGUID);
    del.Append("SubscriptionType", "UIExtension");
    MsgSetResponse answer = sm.DoSubscriptionRequests(set);
    const Response& response = answer.GetAt(0);
    if (response.StatusCode == 0)
        MsgBox("Successfully removed Dorvex access from QuickBooks File menu, restart QuickBooks "
               "to see results.",
               kOkOnly, "Menu Removed");
    else
        MsgBox("Could not remove from QuickBooks menu: " + response.StatusMessage +
                   "\r\n\r\nIt is possible that the Dorvex menu has already been removed from "
                   "QuickBooks.",
               kOkOnly, "Error Removing Menu");
    sm.CloseConnection();
}

}  // namespace marlet

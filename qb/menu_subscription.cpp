// Adding and removing Marlet's entries in QuickBooks' File menu.
#include "qb/menu_subscription.h"

#include <iterator>

#include "app/app.h"
#include "platform/error.h"
#include "qb/session.h"

namespace marlet {

// The listener finds an event's entry here by its tag.
static const MenuEntry kMenuEntries[] = {
    {"Scan Documents", "scan", MenuAction::Scan},
    {"Retrieve Documents", "retrieve", MenuAction::Retrieve},
    {"Options", "options", MenuAction::Options},
    {"Manual", "manual", MenuAction::Manual},
};

const MenuEntry* menuEntryOf(const std::string& eventTag) {
    for (const MenuEntry& entry : kMenuEntries)
        if (eventTag == entry.eventTag) return &entry;
    return nullptr;
}

// qbXML takes either one MenuItem or one Submenu of several, so the four entries
// go in one Submenu, which has no text or condition of its own.
static void appendAddRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID) {
    RequestElement& add = set.append("UIExtensionSubscriptionAddRq").append("UIExtensionSubscriptionAdd");
    add.append("SubscriberID", subscriberID);
    RequestElement& callback = add.append("COMCallbackInfo");
    callback.append("AppName", kAppTitle);
    callback.append("ProgID", kListenerProgID);
    RequestElement& menu = add.append("MenuExtensionSubscription");
    menu.append("AddToMenu", "File");
    RequestElement& submenu = menu.append("Submenu");
    for (const MenuEntry& entry : kMenuEntries) {
        RequestElement& item = submenu.append("MenuItem");
        item.append("MenuText", entry.text);
        item.append("EventTag", entry.eventTag);
    }
}

// "Scan Documents (scan), ..." for the entries.
template <class Entries, class Text, class Tag>
static std::string entryList(const Entries& entries, Text text, Tag tag) {
    std::string out;
    for (const auto& e : entries) out += (out.empty() ? "" : ", ") + text(e) + " (" + tag(e) + ")";
    return out.empty() ? "no entries" : out;
}

std::string menuSubscriptionFault(const Record& subscription) {
    std::string fault;
    std::string progID = subscription.value("COMCallbackInfo/ProgID");
    if (progID != kListenerProgID) {
        std::string clsid = subscription.value("COMCallbackInfo/CLSID");
        fault = "it calls " + (!progID.empty() ? progID : !clsid.empty() ? "the class " + clsid : "no program") +
                " instead of " + kListenerProgID;
    }
    // One MenuItem stands directly in the subscription, several in its Submenu.
    Record menu = subscription.at("MenuExtensionSubscription");
    std::vector<Record> items = menu.records("MenuItem");
    if (items.empty()) items = menu.at("Submenu").records("MenuItem");
    bool same = items.size() == std::size(kMenuEntries);
    for (size_t i = 0; same && i < items.size(); i++)
        same = items[i].value("MenuText") == kMenuEntries[i].text &&
               items[i].value("EventTag") == kMenuEntries[i].eventTag;
    if (!same) {
        auto text = [](const auto& e) { return std::string(e.text); };
        auto tag = [](const auto& e) { return std::string(e.eventTag); };
        fault += (fault.empty() ? "its entries are " : "; its entries are ") +
                 entryList(items, [](const Record& r) { return r.value("MenuText"); },
                           [](const Record& r) { return r.value("EventTag"); }) +
                 " instead of " + entryList(kMenuEntries, text, tag);
    }
    return fault;
}

static void appendDelRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID) {
    RequestElement& del = set.append("SubscriptionDelRq");
    del.append("SubscriberID", subscriberID);
    del.append("SubscriptionType", "UIExtension");
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

// One subscription request over the connection of `qb`, and the box for its answer.
// Warnings are failures too: the severity is not read.
static void subscribe(QBConnection& qb, const std::string& appName, const std::string& appGUID,
                      void (*append)(SubscriptionMsgSetRequest&, const std::string&), const Outcome& outcome) {
    qb.open(QBConnection::Road::Subscriptions, appName);
    SubscriptionMsgSetRequest set = qb->CreateSubscriptionMsgSetRequest(kQbxmlMajorVersion, kQbxmlMinorVersion);
    append(set, appGUID);
    MsgSetResponse answer = qb->DoSubscriptionRequests(set);
    const Response& response = answer.at(0);
    if (response.statusCode == 0) {
        MsgBox(outcome.doneText, BoxStyle::OkOnly, outcome.doneTitle);
    } else {
        setExitCode(kExitMenuRefused);
        MsgBox(outcome.refusedText + response.statusMessage + outcome.refusedHint, BoxStyle::OkOnly, outcome.refusedTitle);
    }
    qb.close();
}

void addMenu(const std::string& appName, const std::string& appGUID) {
    // Left open by the guard: the handler closes it itself, before its box, so
    // that a failure to close reaches the caller instead of the box.
    QBConnection qb(QBConnection::Leftover::Open);
    try {
        subscribe(qb, appName, appGUID, appendAddRequest, kAdded);
    } catch (const Error& e) {
        qb.close();
        setExitCode(kExitMenuFailed);
        MsgBox("Encountered error subscribing: " + e.description());
    }
}

void removeMenu(const std::string& appName, const std::string& appGUID) {
    // Left open: the caller's handler reports the failure, and QuickBooks hears
    // nothing more from this connection.
    QBConnection qb(QBConnection::Leftover::Open);
    subscribe(qb, appName, appGUID, appendDelRequest, kRemoved);
}

}  // namespace marlet

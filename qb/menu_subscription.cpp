#include "qb/menu_subscription.h"

#include <iterator>

#include "app/app.h"
#include "qb/qbxml_response.h"

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
void appendMenuAddRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID) {
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

void appendMenuDelRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID) {
    RequestElement& del = set.append("SubscriptionDelRq");
    del.append("SubscriberID", subscriberID);
    del.append("SubscriptionType", "UIExtension");
}

void appendMenuQueryRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID) {
    set.append("UIExtensionSubscriptionQueryRq").append("SubscriberID", subscriberID);
}

}  // namespace marlet

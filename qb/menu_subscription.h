#pragma once
// Marlet's entries in QuickBooks' File menu: the UI-extension subscription
// under the application's GUID that adds them, removes them and asks for them.
// What a person sees of it (the boxes, the exit codes) is commands/menu_commands.h's.
#include <string>

#include "qb/qbxml_request.h"

namespace marlet {

class Record;

// The class QuickBooks calls for a menu event.
constexpr const char* kListenerProgID = "Marlet.QBMenuListener";

// What picking an entry leads to; the listener switches on it.
enum class MenuAction { Scan, Retrieve, Options, Manual };

// One of Marlet's entries (kMenuEntries, menu_subscription.cpp): its text in
// the menu, the tag QuickBooks sends back when it is picked, and its action.
struct MenuEntry {
    const char* text;
    const char* eventTag;
    MenuAction action;
};

// The entry whose tag is `eventTag`; nullptr for a tag that is not Marlet's.
const MenuEntry* menuEntryOf(const std::string& eventTag);

// The subscription's requests under `subscriberID`, appended to `set`: adding
// kMenuEntries to the File menu, calling kListenerProgID; removing them; and
// asking for what QuickBooks holds (one UIExtensionSubscriptionRet).
void appendMenuAddRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID);
void appendMenuDelRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID);
void appendMenuQueryRequest(SubscriptionMsgSetRequest& set, const std::string& subscriberID);

// What is wrong with a stored menu subscription (a UIExtensionSubscriptionRet)
// for Marlet: "" when it calls kListenerProgID with Marlet's four entries and
// their tags, in order; else what it calls or holds instead, one phrase.
std::string menuSubscriptionFault(const Record& subscription);

}  // namespace marlet

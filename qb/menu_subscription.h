#pragma once
// Marlet's entries in QuickBooks' File menu: added and removed through a
// UI-extension subscription under the application's GUID.
#include <string>

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

// Shows "Menu Added" or why QuickBooks refused; a failing step is shown too, after
// the connection is closed.
void addMenu(const std::string& appName, const std::string& appGUID);

// Shows "Menu Removed" or why QuickBooks refused. No handler of its own: a
// failing step passes to the caller, unclosed.
void removeMenu(const std::string& appName, const std::string& appGUID);

// What is wrong with a stored menu subscription (a UIExtensionSubscriptionRet)
// for Marlet: "" when it calls kListenerProgID with Marlet's four entries and
// their tags, in order; else what it calls or holds instead, one phrase.
std::string menuSubscriptionFault(const Record& subscription);

}  // namespace marlet

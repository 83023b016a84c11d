#pragma once
// Adding and removing Marlet's entries in the QuickBooks File menu, as /install,
// /uninstall and the Options form's Add Menu and Remove Menu buttons do it: one
// subscription request (qb/menu_subscription.h) over a connection of its own,
// and the box that tells how QuickBooks answered.
#include <string>

namespace marlet {

// Shows "Menu Added" or why QuickBooks refused (kExitMenuRefused); a failing
// step is shown too, after the connection is closed (kExitMenuFailed).
void addMenu(const std::string& appName, const std::string& appGuid);

// Shows "Menu Removed" or why QuickBooks refused (kExitMenuRefused). No handler
// of its own: a failing step passes to the caller, unclosed.
void removeMenu(const std::string& appName, const std::string& appGuid);

// /install and /uninstall: the same, under the name and GUID of the string table.
void installSwitch();
void uninstallSwitch();

}  // namespace marlet

#pragma once
// Marlet's entries in QuickBooks' File menu: added and removed through a
// UI-extension subscription under the application's GUID.
#include <string>

namespace marlet {

// Shows "Menu Added" or why QuickBooks refused; a failing step is shown too, after
// the connection is closed.
void addMenu(const std::string& appName, const std::string& appGUID);

// Shows "Menu Removed" or why QuickBooks refused. No handler of its own: a
// failing step passes to the caller, unclosed.
void removeMenu(const std::string& appName, const std::string& appGUID);

}  // namespace marlet

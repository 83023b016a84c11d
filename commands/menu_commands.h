#pragma once

namespace marlet {

// The switches that work through the Options dialog.
void installSwitch();
void uninstallSwitch();
void optionsSwitch();

}  // namespace marlet

#pragma once
// The Options form as the /options switch and the File menu's Options entry
// show it, with its Add Menu and Remove Menu buttons wired to addMenu and
// removeMenu (commands/menu_commands.h).
#include "ui/options_form.h"

namespace marlet {

// The form's menu buttons: addMenu and removeMenu.
extern const MenuButtons kOptionsMenuButtons;

// /options: the form over the settings Main read (Main saves them after the
// switches). A quiet run does not open it: logged, kExitNeedsPerson.
void optionsSwitch();

// The "options" menu entry: load a fresh dialog, re-read this person's settings,
// show the dialog, save them however it was closed.
void optionsEntry();

}  // namespace marlet

#pragma once
// The window the Options form is shown in. marlet.exe's is the Win32 dialog
// (ui/options_dialog_win32.cpp), which wWinMain wires in beside the platform
// table; the native tests' plays the person's part (ui/fake/).
namespace marlet {

class OptionsForm;

// Shows `form` modally, with no owner, until it is unloaded; a failure is
// thrown as marlet::Error.
using OptionsDialog = void (*)(OptionsForm& form);

void setOptionsDialog(OptionsDialog dialog);
void showOptionsDialog(OptionsForm& form);

}  // namespace marlet

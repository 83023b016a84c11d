#pragma once
// Runs Marlet's installer and uninstaller (and any program whose helpers show
// boxes) while answering the dialogs of every process, as a person at the
// screen would.
#include <windows.h>

#include <string>

#include "sandbox.h"

namespace harness {

// Where the installer puts the 64-bit Marlet (Program Files) or the 32-bit one
// (Program Files (x86)). Asked from a 64-bit program.
std::wstring installFolder(int bits = 64);

// Processes whose program's name is `name`, or begins with it when it ends in "*".
int processesNamed(const std::wstring& name);

// Runs `commandLine` and answers the dialogs of every process with `onDialog`
// (marlet.exe shows its boxes while the installer waits for it) until it, the
// copy the NSIS uninstaller runs itself from (Un*.exe; Au_.exe in older NSIS)
// and any marlet.exe have ended.
RunResult runAnswering(const std::wstring& commandLine, const DialogHandler& onDialog = pressFirstButton,
                       int timeoutMs = 60000);

// MarletSetup.exe in the build's folder; it and the uninstaller of the Marlet
// installed in installFolder(bits), run silently while every dialog is answered.
std::wstring setupProgram();
RunResult runSetup(const std::wstring& switches, const DialogHandler& onDialog = pressFirstButton);
RunResult runUninstaller(const std::wstring& switches, const DialogHandler& onDialog = pressFirstButton,
                         int bits = 64);

}  // namespace harness

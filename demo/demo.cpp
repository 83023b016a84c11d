// Plays a short story with marlet.exe and prints what the user sees and what
// Dorvex receives.
#include <cstdio>

#include "sandbox.h"

using namespace bench;

static void show(const Dialog& d) {
    std::printf("  message box \"%s\":\n", d.title.c_str());
    std::string text = d.text;
    for (size_t i; (i = text.find("\r\n")) != std::string::npos;) text.replace(i, 2, "\n");
    std::printf("    %s\n", text.c_str());
    std::printf("  the user presses %s\n", d.buttons.empty() ? "nothing" : d.buttons.front().c_str());
}

int main() {
    Sandbox box;
    box.installDorvex();
    box.writeIni(box.iniFor(L"Dx", true));
    std::printf("Marlet demo\n\n");
    std::printf("dxqb.ini beside marlet.exe (debug mode on):\n%s\n", box.readIni().c_str());
    std::printf("$ marlet.exe /retrieve\n");
    RunResult r = box.runMarlet(L"/retrieve", [](const Dialog& d) {
        show(d);
        std::printf("  clipboard: %s\n", clipboardText().c_str());
        pressFirstButton(d);
    });
    for (const Launch& l : waitForLaunches(box, 1))
        std::printf("  Dorvex started (window state %d) with:\n    %s\n", l.windowState, l.commandLine.c_str());
    std::printf("  marlet.exe ended with exit code %lu\n", r.exitCode);
    return r.exitCode == 0 ? 0 : 1;
}

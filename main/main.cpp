#include "main/main.h"

#include "app/app.h"
#include "events/launch.h"
#include "main/cmdline.h"
#include "main/dialog_switches.h"
#include "platform/error.h"

namespace marlet {

static void retrieveSwitch() { launchRetrieve("", "", "", ""); }

struct Switch {
    const char* text;
    void (*action)();
};

// Tested one after another, in this order, against every argument.
static const Switch kSwitches[] = {
    {"/install", installSwitch},
    {"/uninstall", uninstallSwitch},
    {"/options", optionsSwitch},
    {"/retrieve", retrieveSwitch},
};

void Main() {
    try {
        std::vector<std::string> args = splitCommandLine();
        gOptions = std::make_unique<cmOptions>();
        loadOptions();
        for (const std::string& arg : args)
            for (const Switch& sw : kSwitches)
                if (arg.find(sw.text) != std::string::npos) sw.action();
        saveOptions();
    } catch (...) {
        Error failure = caughtError();
        reportFatalError(failure.number(), failure.description());
    }
}

}  // namespace marlet

#include "main/main.h"

#include "app/app.h"
#include "app/log.h"
#include "commands/menu_commands.h"
#include "commands/options_commands.h"
#include "commands/setup_check.h"
#include "events/event_queue.h"
#include "events/launch.h"
#include "main/cmdline.h"
#include "platform/error.h"
#include "platform/platform.h"

namespace marlet {

static void retrieveSwitch() { launchRetrieve(*gOptions, {}); }

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
    {"/check", setupCheckSwitch},
};

// Not an action of its own: it changes how the others run, whichever argument
// holds it. No other switch contains it, and it contains none of them.
constexpr const char* kQuietSwitch = "/quiet";

std::vector<const char*> switchTexts() {
    std::vector<const char*> texts;
    for (const Switch& sw : kSwitches) texts.push_back(sw.text);
    texts.push_back(kQuietSwitch);
    return texts;
}

// The settings written back. Started by COM, nobody may be kept waiting
// before the class objects are registered: the box for a failed save waits its
// turn with the menu events, behind the call that started the process.
static void saveAtStart(bool startedByCom) {
    if (!startedByCom) {
        saveOptions();
        return;
    }
    if (auto failure = saveOptionsUnshown()) {
        logLine("settings not saved; the box follows the call that started Marlet: " + *failure);
        menuEvents().push([text = *failure] { showSaveFailure(text); });
    }
}

int Main(bool startedByCom) {
    try {
        std::vector<std::string> args = splitCommandLine();
        setExitCode(kExitOk);
        enableLog(args.size() > 1);
        logLine("started: " + platform().commandLineText());
        bool quiet = false;
        for (const std::string& arg : args) quiet = quiet || arg.find(kQuietSwitch) != std::string::npos;
        setQuietMode(quiet);
        loadOptions();
        for (const std::string& arg : args)
            for (const Switch& sw : kSwitches)
                if (arg.find(sw.text) != std::string::npos) sw.action();
        saveAtStart(startedByCom);
    } catch (...) {
        Error failure = caughtError();
        reportFatalError(failure.number(), failure.description());
    }
    logLine("done, exit code " + std::to_string(exitCode()));
    return exitCode();
}

}  // namespace marlet

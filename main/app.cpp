#include "main/app.h"

#include <cstdlib>
#include <new>

#include "events/launch.h"
#include "main/cmdline.h"
#include "main/dialog_switches.h"
#include "platform/error.h"
#include "platform/platform.h"

namespace marlet {

std::unique_ptr<cmOptions> gOptions;

std::string optionsFilePath() { return platform().exeFolder() + "\\dxqb.ini"; }

int MsgBox(const std::string& text, int style, const std::string& title) {
    return platform().msgBox(text, style, title.empty() ? kAppTitle : title);
}

void reportFatalError(int32_t number, const std::string& description) {
    if (number == kHrClassNotRegistered || number == kHrModuleNotFound) {
        MsgBox(std::string("An error has occured.  This most likely cause of this error is that "
                           "Dorvex is not installed.\r\nPlease install Dorvex from ") +
                   kDorvexVendorUrl + " before proceeding.",
               kOkOnly, "Marlet Error");
    } else {
        MsgBox(genericErrorText(Error(number, description)), kOkOnly);
    }
    platform().endProcess();
    std::abort();  // endProcess does not return
}

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
        gOptions->readOptions(optionsFilePath());
        for (const std::string& arg : args)
            for (const Switch& sw : kSwitches)
                if (arg.find(sw.text) != std::string::npos) sw.action();
        gOptions->writeOptions(optionsFilePath());
    } catch (const Error& e) {
        reportFatalError(e.number(), e.description());
    } catch (const std::bad_alloc&) {
        reportFatalError(7, "Out of memory");
    } catch (const std::exception& e) {
        reportFatalError(51, std::string("Internal error: ") + e.what());
    }
}

}  // namespace marlet

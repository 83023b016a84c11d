#include "app/app.h"

#include <cstdlib>

#include "app/log.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/process_state.h"
#include "resources/resource.h"
#include "settings/policies.h"
#include "settings/settings_files.h"

namespace marlet {

std::unique_ptr<cmOptions> gOptions;

void loadOptions() {
    if (!gOptions) gOptions = std::make_unique<cmOptions>();
    std::vector<std::string> unusable;
    logLine("settings read from " + loadSettings(*gOptions, &unusable));
    for (const std::string& sentence : unusable) logLine(sentence);
    if (gOptions->fromPolicy) logLine("set by policy: " + settingNames(gOptions->fromPolicy));
}

std::optional<std::string> saveOptionsUnshown() { return saveSettings(*gOptions); }

void showSaveFailure(const std::string& text) { msgBox(text, BoxStyle::Exclamation); }

void saveOptions() {
    if (auto failure = saveOptionsUnshown()) showSaveFailure(*failure);
}

std::string appNameString() { return platform().loadString(IDS_APP_NAME); }
std::string appGuidString() { return platform().loadString(IDS_APP_GUID); }

static int gExitCode;
void setExitCode(int code) { gExitCode = code; }
int exitCode() { return gExitCode; }

static bool gQuiet;
bool quietMode() { return gQuiet; }

// A fresh process: no options record until the first load makes it, exit code 0, not quiet.
static const ProcessStateOwner kAppState([] {
    gOptions.reset();
    gExitCode = kExitOk;
    gQuiet = false;
});

static void quietRunTimedOut() {
    logLine("quiet run: no end after " + std::to_string(kQuietTimeLimitSeconds) + " seconds, ended");
    platform().endProcess(kExitTimedOut);
}

void setQuietMode(bool on) {
    gQuiet = on;
    if (on) platform().startWatchdog(kQuietTimeLimitSeconds, quietRunTimedOut);
}

static const char* answerName(BoxAnswer answer) { return answer == BoxAnswer::Cancel ? "Cancel" : "OK"; }

BoxAnswer msgBox(const std::string& text, BoxStyle style, const std::string& title) {
    const std::string& shownTitle = title.empty() ? std::string(kAppTitle) : title;
    if (gQuiet) {
        BoxAnswer answer = buttonsOf(style) == BoxStyle::OkCancel ? BoxAnswer::Cancel : BoxAnswer::Ok;
        logLine("box not shown (quiet), taken as " + std::string(answerName(answer)) + ": " + shownTitle +
                ": " + text);
        return answer;
    }
    BoxAnswer answer = platform().msgBox(text, style, shownTitle);
    logLine("box: " + shownTitle + ": " + text + " -> " + answerName(answer));
    return answer;
}

std::string inputBox(const std::string& prompt, const std::string& title) {
    if (gQuiet) {
        logLine("input box not shown (quiet), taken as Cancel: " + title);
        return "";
    }
    std::string answer = platform().inputBox(prompt, title);
    logLine("input box: " + title + (answer.empty() ? " -> Cancel or nothing typed" : " -> a text typed"));
    return answer;
}

void showErrorBox(int32_t number, const std::string& description) {
    if (number == kHrClassNotRegistered || number == kHrModuleNotFound) {
        msgBox(std::string("An error has occured.  This most likely cause of this error is that "
                           "Dorvex is not installed.\r\nPlease install Dorvex from ") +
                   kDorvexVendorUrl + " before proceeding.",
               BoxStyle::OkOnly, "Marlet Error");
    } else {
        msgBox(genericErrorText(Error(number, description)), BoxStyle::OkOnly);
    }
}

void reportFatalError(int32_t number, const std::string& description) {
    logLine("error: " + supportErrorText(Error(number, description)));
    showErrorBox(number, description);
    platform().endProcess(kExitFailed);
    std::abort();  // endProcess does not return
}

}  // namespace marlet

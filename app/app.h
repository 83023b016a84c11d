#pragma once
// What every part above the settings shares: the process's options record and
// its file, the message box with the program's title, the string table entries,
// and the box that ends the process after a failure nothing else handled.
// Sits above settings/ and below every folder from qb/ up.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "resources/resource.h"
#include "settings/options.h"

namespace marlet {

constexpr const char* kAppTitle = MARLET_APP_NAME;
// Where the "Dorvex is not installed" message sends the user.
constexpr const char* kDorvexVendorUrl = "https://www.dorvex.com";

// The process's one options record; created by the first loadOptions, never
// replaced.
extern std::unique_ptr<cmOptions> gOptions;

// gOptions (made on the first call) from the file that holds this person's settings and the policies
// over it (settings/settings_files.h, settings/policies.h), the ignored policy
// values and the settings policies give logged; and back to the file, which
// keeps its own line for those. A save that fails is told in one box.
void loadOptions();
void saveOptions();
// The same save; a failure is not shown but returned, as the box's text, for
// a caller that cannot show a box yet.
std::optional<std::string> saveOptionsUnshown();
// The box a failed save is told in.
void showSaveFailure(const std::string& text);

// The application's name and GUID from the program's string table.
std::string appNameString();
std::string appGuidString();

// How a run of marlet.exe ended, as its exit code tells a deployment tool.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,        // a failure ended Marlet (its box said which)
    kExitMenuRefused = 2,   // QuickBooks answered, but did not add or remove the menu
    kExitMenuFailed = 3,    // the menu could not be added: QuickBooks was not reached
    kExitTimedOut = 4,      // a quiet run took longer than kQuietTimeLimitSeconds
    kExitNeedsPerson = 5,   // a quiet run was asked for something only a person can do
    kExitCheckFailed = 6,   // /check: at least one check failed
};
void setExitCode(int code);
int exitCode();

// Quiet mode: nobody is at the screen (an installer run silently, a deployment
// tool). No box is shown; each one goes to the log with the answer taken for it.
// The run ends by itself after kQuietTimeLimitSeconds.
constexpr int kQuietTimeLimitSeconds = 120;
void setQuietMode(bool on);
bool quietMode();

// A message box; an empty title shows the application's title. In quiet mode
// it is logged, not shown, and answers OK (Cancel where it offers Cancel).
BoxAnswer msgBox(const std::string& text, BoxStyle style = BoxStyle::OkOnly, const std::string& title = "");
// The input box; in quiet mode it is logged and answers as Cancel does ("").
std::string inputBox(const std::string& prompt, const std::string& title);

// The box a failure nothing else showed ends in: "Dorvex is not installed"
// (title "Marlet Error") for the two "not registered" failures, the generic
// "number: description" under the application's title for any other.
void showErrorBox(int32_t number, const std::string& description);
// That box, then the end of the process.
[[noreturn]] void reportFatalError(int32_t number, const std::string& description);

}  // namespace marlet

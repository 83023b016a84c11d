#pragma once
// Process-wide state and the start-up routine.
#include <memory>
#include <string>

#include "settings/options.h"

namespace marlet {

constexpr const char* kAppTitle = "Marlet";
// Where the "Dorvex is not installed" message sends the user.
constexpr const char* kDorvexVendorUrl = "https://www.dorvex.com";

constexpr int kStringAppGuid = 101;
constexpr int kStringAppName = 102;

// The process's one options record; created by Main, never replaced.
extern std::unique_ptr<cmOptions> gOptions;

// The executable's folder followed by "\dxqb.ini".
std::string optionsFilePath();

// A message box; an empty title shows the application's title.
int MsgBox(const std::string& text, int style = 0, const std::string& title = "");

// The start-up routine: read options, run the switches, write options.
void Main();

// The "Dorvex is not installed" box for the two "not registered" failures,
// the generic "number: description" box for any other, then the end of the process.
[[noreturn]] void reportFatalError(int32_t number, const std::string& description);

}  // namespace marlet

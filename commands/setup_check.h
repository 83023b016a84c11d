#pragma once
// marlet.exe /check: looks at everything Marlet needs on this PC — its settings,
// Dorvex, its own registration, QuickBooks' request processor, QuickBooks itself,
// the menu subscription, the manual — and says for each what is wrong and what
// to do. Every check runs, whatever the ones before it found.
#include <string>
#include <vector>

#include "settings/options.h"

namespace marlet {

constexpr const char* kSetupCheckTitle = "Marlet set-up check";
// An interactive check that has not ended after this long (QuickBooks not
// answering) says which check it was stuck in and ends. A quiet run has its own bound.
constexpr int kSetupCheckTimeLimitSeconds = 300;

struct CheckResult {
    bool passed = false;
    std::string finding;  // what was found, one sentence without its end
    std::string advice;   // for a failure: what to do, one sentence
};

// One check, over the options the run was given (the settings line reads the
// file and the policies afresh).
struct SetupCheck {
    const char* name;
    CheckResult (*run)(const cmOptions& options);
};

// The checks, in the order they run and are shown.
const std::vector<SetupCheck>& setupChecks();

// One line: "Name: passed: finding." or "Name: FAILED: finding. Advice."
std::string checkLine(const char* name, const CheckResult& result);

// Runs every check over `options` and returns the text of the box, one line
// each; `allPassed` tells whether each one passed.
std::string runSetupChecks(const cmOptions& options, bool& allPassed);

// The /check switch, over the options Main read: the box titled
// kSetupCheckTitle (logged as every box is), and kExitCheckFailed when any
// check failed.
void setupCheckSwitch();

}  // namespace marlet

#pragma once
// Settings an administrator gives every PC and person at once: registry values
// under kPolicyKey, named as kSettings names them, which Group Policy (the
// Marlet.admx template) or a plain `reg add` writes. The machine's
// (HKEY_LOCAL_MACHINE) win over the person's (HKEY_CURRENT_USER), and either
// wins over dxqb.ini.
#include <string>
#include <vector>

#include "settings/options.h"

namespace marlet {

constexpr const char* kPolicyKey = "SOFTWARE\\Policies\\Marlet";

struct PolicyReading {
    cmOptions values;                   // the values policies give; fromPolicy says which
    std::vector<std::string> unusable;  // one sentence for each value ignored, such as
                                        // "policy value HKLM\...\debugMode ignored: 2 is not 0 or 1"
};

// Reads both hives; never fails. A folder's value gets its ending backslash.
PolicyReading readPolicies();

// Puts the policies' values into `o` and marks them as the policies'.
void applyPolicies(const PolicyReading& policies, cmOptions& o);

// The names of the settings marked in `set`, as "dxPath, promptMemo and debugMode".
std::string settingNames(unsigned set);

}  // namespace marlet

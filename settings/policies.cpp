#include "settings/policies.h"

#include "platform/platform.h"

namespace marlet {

namespace {

std::string typeName(RegType type) {
    switch (type) {
    case RegType::Sz: return "REG_SZ";
    case RegType::ExpandSz: return "REG_EXPAND_SZ";
    case RegType::Dword: return "REG_DWORD";
    default: return "registry type " + std::to_string(static_cast<int>(type));
    }
}

// Why `v` cannot be the value of `s`, or "" when it can.
std::string unusableBecause(const Setting& s, const RegistryValue& v) {
    if (s.kind == SettingKind::Boolean) {
        if (v.type != RegType::Dword) return "a " + typeName(v.type) + ", not a REG_DWORD";
        if (v.number > 1) return std::to_string(v.number) + " is not 0 or 1";
        return "";
    }
    if (v.type != RegType::Sz) return "a " + typeName(v.type) + ", not a REG_SZ";
    if (v.text.empty()) return "an empty folder";
    // The file holds a folder on one line: one with a line break could not be saved or read back.
    if (v.text.find_first_of(kLineBreaks.chars) != std::string::npos)
        return std::string("the folder ") + kLineBreaks.why;
    return "";
}

}  // namespace

PolicyReading readPolicies() {
    PolicyReading out;
    for (bool machine : {true, false}) {
        const char* hive = machine ? "HKLM\\" : "HKCU\\";
        for (const Setting& s : kSettings) {
            if (out.values.byPolicy(s)) continue;  // the machine's value wins
            RegistryValue v = platform().registryValue(machine, kPolicyKey, s.name);
            if (v.type == RegType::NoValue) continue;
            std::string why = unusableBecause(s, v);
            if (!why.empty()) {
                out.unusable.push_back("policy value " + std::string(hive) + kPolicyKey + "\\" + s.name +
                                       " ignored: " + why);
                continue;
            }
            if (s.kind == SettingKind::Boolean) {
                out.values.*s.flag = v.number == 1;
            } else {
                // As the Options dialog saves a folder: a file name follows it directly.
                out.values.*s.text = v.text.back() == '\\' ? v.text : v.text + "\\";
            }
            out.values.fromPolicy |= policyBit(s);
        }
    }
    return out;
}

void applyPolicies(const PolicyReading& policies, cmOptions& o) {
    for (const Setting& s : kSettings) {
        if (!policies.values.byPolicy(s)) continue;
        if (s.kind == SettingKind::Boolean)
            o.*s.flag = policies.values.*s.flag;
        else
            o.*s.text = policies.values.*s.text;
    }
    o.fromPolicy = policies.values.fromPolicy;
}

std::string settingNames(unsigned set) {
    std::vector<std::string> names;
    for (const Setting& s : kSettings)
        if (set & policyBit(s)) names.emplace_back(s.name);
    std::string out;
    for (size_t i = 0; i < names.size(); i++)
        out += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return out;
}

}  // namespace marlet

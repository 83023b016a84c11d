#include "settings/settings_files.h"

#include "platform/platform.h"
#include "settings/policies.h"

namespace marlet {

constexpr const char* kSettingsFile = "\\dxqb.ini";

std::string machineSettingsPath() { return platform().exeFolder() + kSettingsFile; }

std::string userMarletFolder(bool askShell) {
    std::string base = platform().userDataFolder(askShell);
    return base.empty() ? "" : base + "\\Marlet";
}

std::string userSettingsPath(bool askShell) {
    std::string folder = userMarletFolder(askShell);
    return folder.empty() ? "" : folder + kSettingsFile;
}

std::string settingsFileInUse() {
    const Platform& p = platform();
    std::string machine = machineSettingsPath();
    if (p.isReadOnly(machine)) return machine;
    std::string user = userSettingsPath();
    return !user.empty() && p.fileExists(user) ? user : machine;
}

std::string loadSettings(cmOptions& o, std::vector<std::string>* unusable) {
    std::string path = settingsFileInUse();
    o.readOptions(path);
    PolicyReading policies = readPolicies();
    applyPolicies(policies, o);
    if (unusable) *unusable = policies.unusable;
    return path;
}

static std::string cannotSave(const std::string& path, const FileFailure& failure) {
    return "Your settings could not be saved to " + path + ":\r\n" + failure.reason;
}

std::optional<std::string> saveSettings(const cmOptions& o) {
    const Platform& p = platform();
    std::string machine = machineSettingsPath();
    // Without a machine file Marlet is not installed properly and creates none;
    // a read-only one is the administrator's lock.
    if (!p.fileExists(machine) || p.isReadOnly(machine)) return std::nullopt;
    std::string target = settingsFileInUse();
    std::string current;
    cmOptions held;
    bool whole = p.readFile(target, current) && held.readText(current);
    cmOptions saved = o;
    for (const Setting& s : kSettings) {
        if (!o.byPolicy(s)) continue;
        if (s.kind == SettingKind::Boolean)
            saved.*s.flag = held.*s.flag;
        else
            saved.*s.text = held.*s.text;
    }
    // Compared as values: a file written by hand that holds these settings is
    // left as it is, so a person who may not replace it gets no copy of it.
    std::string text = saved.toText();
    if (whole && text == held.toText()) return std::nullopt;
    // A folder the code page cannot hold would be written as another one.
    for (const Setting& s : kSettings) {
        bool fits = true;
        if (s.text && !o.byPolicy(s)) p.utf8ToAnsi(saved.*s.text, &fits);
        if (!fits)
            return "Your settings could not be saved to " + target + ":\r\nThe folder " + saved.*s.text + " " +
                   kNotInCodePage + ".";
    }
    std::string bytes = p.utf8ToAnsi(text, nullptr);
    FileFailure failure;
    if (p.replaceFile(target, bytes, &failure)) return std::nullopt;
    if (target != machine || !failure.accessDenied) return cannotSave(target, failure);
    // The machine file is not this person's to change: their own copy takes the settings.
    std::string folder = userMarletFolder(true);
    if (folder.empty()) return cannotSave(machine, failure);
    std::string user = folder + kSettingsFile;
    if (!p.createFolder(folder, &failure) || !p.replaceFile(user, bytes, &failure)) return cannotSave(user, failure);
    return std::nullopt;
}

}  // namespace marlet

#pragma once
// Which dxqb.ini holds a person's settings. The machine file beside the program
// is everyone's default; a person who may not replace it keeps their own copy in
// %LOCALAPPDATA%\Marlet, read from then on instead. A machine file with the
// read-only attribute locks the settings: only it is read, nothing is written.
#include <optional>
#include <string>
#include <vector>

#include "settings/options.h"

namespace marlet {

// {local application data}\Marlet, the person's own folder: their settings and
// the log. "" when that folder is unknown; only the environment is read unless
// `askShell`.
std::string userMarletFolder(bool askShell = false);

// {executable folder}\dxqb.ini
std::string machineSettingsPath();
// {local application data}\Marlet\dxqb.ini, "" when that folder is unknown. Only
// the environment is read unless `askShell`.
std::string userSettingsPath(bool askShell = false);

// The file that holds this person's settings: the machine file when it is
// locked or the person has no file of their own.
std::string settingsFileInUse();

// Reads the settings that apply to this person into `o`: the file's, then the
// policies' (settings/policies.h) over them; never fails. Returns the file it
// read; the policy values it ignored go to `unusable` unless it is null.
std::string loadSettings(cmOptions& o, std::vector<std::string>* unusable = nullptr);

// Saves `o` into the file loadSettings reads, or into the person's own file when
// the machine file may not be replaced. A setting a policy gives keeps the
// file's own value. Nothing is written when the machine file is missing or
// read-only, or the file already holds these values as readText reads them (its
// bytes may differ: line ends, "true" for "True"). Returns what to tell the
// person when the settings could not be written anywhere.
std::optional<std::string> saveSettings(const cmOptions& o);

}  // namespace marlet

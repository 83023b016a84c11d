#pragma once
// The dxqb.ini an installation first writes, when there is none: both
// installers (MarletSetup.exe through the include installer_facts makes, the
// MSI packages' settings_action.dll directly) write this text and refuse the
// same folders.
#include <string>

#include "settings/options.h"

namespace marlet::installer {

// What a folder given to an installer cannot hold: a line break (the file's
// own rule), and "|", which separates the fields of the packages' custom
// action data (MarletSetup.exe refuses it too, so both take the same folders).
inline constexpr BannedCharacters kFolderBans[] = {
    kLineBreaks,
    {.chars = "|", .why = "holds \"|\""},
};

// A folder the system's ANSI code page cannot hold is refused with
// kNotInCodePage (settings/options.h); only Windows can tell, each installer asks it.

// Why `folder` (UTF-8) cannot be written into the file, from kFolderBans
// ("holds ..."), or "".
std::string folderFault(const std::string& folder);

// The new file's text (UTF-8, CR LF line ends): every setting at the record's
// default, the two folders as given (an installer gives each ending in "\"
// unless empty).
std::string newSettingsText(const std::string& dxPath, const std::string& configPath);

}  // namespace marlet::installer

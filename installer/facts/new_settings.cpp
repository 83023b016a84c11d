#include "installer/facts/new_settings.h"

namespace marlet::installer {

std::string folderFault(const std::string& folder) {
    for (const BannedCharacters& ban : kFolderBans)
        if (folder.find_first_of(ban.chars) != std::string::npos) return ban.why;
    return "";
}

std::string newSettingsText(const std::string& dxPath, const std::string& configPath) {
    cmOptions defaults;
    defaults.dxPath = dxPath;
    defaults.configPath = configPath;
    return defaults.toText();
}

}  // namespace marlet::installer

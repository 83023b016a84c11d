#include "app/dorvex.h"

#include "platform/platform.h"

namespace marlet {

std::string dorvexExePath(const cmOptions& options) { return options.dxPath + kDorvexExe; }

std::string manualPath() { return platform().exeFolder() + "\\" + kManualFile; }

}  // namespace marlet

#include "app/app.h"

#include <cstdlib>

#include "platform/error.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "settings/settings_files.h"

namespace marlet {

std::unique_ptr<cmOptions> gOptions;

void loadOptions() { loadSettings(*gOptions); }

void saveOptions() {
    if (auto failure = saveSettings(*gOptions)) MsgBox(*failure, kExclamation);
}

std::string appNameString() { return platform().loadString(IDS_APP_NAME); }
std::string appGuidString() { return platform().loadString(IDS_APP_GUID); }

int MsgBox(const std::string& text, int style, const std::string& title) {
    return platform().msgBox(text, style, title.empty() ? kAppTitle : title);
}

void reportFatalError(int32_t number, const std::string& description) {
    if (number == kHrClassNotRegistered || number == kHrModuleNotFound) {
        MsgBox(std::string("An error has occured.  This most likely cause of this error is that "
                           "Dorvex is not installed.\r\nPlease install Dorvex from ") +
                   kDorvexVendorUrl + " before proceeding.",
               kOkOnly, "Marlet Error");
    } else {
        MsgBox(genericErrorText(Error(number, description)), kOkOnly);
    }
    platform().endProcess();
    std::abort();  // endProcess does not return
}

}  // namespace marlet

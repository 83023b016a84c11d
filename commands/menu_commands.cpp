#include "main/dialog_switches.h"

#include "app/app.h"
#include "app/log.h"
#include "qb/menu_subscription.h"
#include "ui/frm_options.h"

namespace marlet {

void installSwitch() { addMenu(appNameString(), appGuidString()); }

void uninstallSwitch() { removeMenu(appNameString(), appGuidString()); }

void optionsSwitch() {
    if (quietMode()) {
        logLine("/options: the Options dialog waits for a person, so a quiet run does not open it");
        setExitCode(kExitNeedsPerson);
        return;
    }
    frmOptions form;
    form.load();
    form.show();
}

}  // namespace marlet

#include "main/dialog_switches.h"

#include "app/app.h"
#include "qb/menu_subscription.h"
#include "ui/frm_options.h"

namespace marlet {

void installSwitch() { addMenu(appNameString(), appGuidString()); }

void uninstallSwitch() { removeMenu(appNameString(), appGuidString()); }

void optionsSwitch() {
    frmOptions form;
    form.Load();
    form.Show();
}

}  // namespace marlet

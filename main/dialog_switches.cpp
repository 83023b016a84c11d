#include "main/dialog_switches.h"

#include "ui/frm_options.h"

namespace marlet {

void installSwitch() {
    frmOptions form;
    form.Load();
    form.Hide();
    form.cmdAddMenu_Click();
    form.Unload();
}

void uninstallSwitch() {
    frmOptions form;
    form.Load();
    form.cmdRemoveMenu_Click();
    form.Unload();
}

void optionsSwitch() {
    frmOptions form;
    form.Load();
    form.Show();
}

}  // namespace marlet

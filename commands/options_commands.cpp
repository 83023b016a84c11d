#include "commands/options_commands.h"

#include "app/app.h"
#include "app/log.h"
#include "commands/menu_commands.h"

namespace marlet {

const MenuButtons kOptionsMenuButtons = {addMenu, removeMenu};

void optionsSwitch() {
    if (quietMode()) {
        logLine("/options: the Options dialog waits for a person, so a quiet run does not open it");
        setExitCode(kExitNeedsPerson);
        return;
    }
    OptionsForm form(kOptionsMenuButtons);
    form.load();
    form.show();
}

void optionsEntry() {
    OptionsForm form(kOptionsMenuButtons);
    form.load();
    loadOptions();
    form.show();
    saveOptions();
}

}  // namespace marlet

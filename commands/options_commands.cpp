#include "events/options_entry.h"

#include "app/app.h"
#include "ui/frm_options.h"

namespace marlet {

void optionsEntry() {
    frmOptions form;
    form.load();
    loadOptions();
    form.show();
    saveOptions();
}

}  // namespace marlet

#include "events/options_entry.h"

#include "app/app.h"
#include "ui/frm_options.h"

namespace marlet {

void optionsEntry() {
    frmOptions form;
    form.Load();
    gOptions->readOptions(optionsFilePath());
    form.Show();
    gOptions->writeOptions(optionsFilePath());
}

}  // namespace marlet

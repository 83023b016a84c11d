#include "ui/options_dialog.h"

#include "platform/error.h"

namespace marlet {

static OptionsDialog gOptionsDialog;

void setOptionsDialog(OptionsDialog dialog) { gOptionsDialog = dialog; }

void showOptionsDialog(OptionsForm& form) {
    if (!gOptionsDialog) throw Error(kErrObjectNotSet, "Object variable or With block variable not set");
    gOptionsDialog(form);
}

}  // namespace marlet

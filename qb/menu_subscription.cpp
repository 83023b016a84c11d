// Adding and removing Marlet's entries in QuickBooks' File menu.
#include "platform/error.h"
#include "ui/frm_options.h"

namespace marlet {

void frmOptions::cmdAddMenu_Click() { throw Error(5, "Invalid procedure call or argument"); }
void frmOptions::cmdRemoveMenu_Click() { throw Error(5, "Invalid procedure call or argument"); }

}  // namespace marlet

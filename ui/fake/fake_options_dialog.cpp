// The native tests' Options dialog: counts and logs each showing and lets the
// world's script (fake::World::onShowOptions) play the person's part. Wired in
// with every fake install, as the fake platform table is.
#include "platform/fake/fake_platform.h"
#include "platform/process_state.h"
#include "ui/options_dialog.h"

namespace marlet::fake {

static void showOptionsDialog(OptionsForm& form) {
    World& w = world();
    w.optionsDialogsShown++;
    w.log.push_back("showOptions");
    if (w.onShowOptions) w.onShowOptions(form);
}

static const ProcessStateOwner kFakeOptionsDialog([] { setOptionsDialog(showOptionsDialog); });

}  // namespace marlet::fake

#pragma once

namespace marlet {

// The "options" menu entry: load a fresh dialog, re-read this person's settings,
// show the dialog, save them however it was closed.
void optionsEntry();

}  // namespace marlet

#pragma once

namespace marlet {

// The "options" menu entry: load a fresh dialog, re-read the options file, show
// the dialog, write the file however it was closed.
void optionsEntry();

}  // namespace marlet

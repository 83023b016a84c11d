#pragma once

namespace marlet {

// The start-up routine: read options, run the switches, write options.
void Main();

}  // namespace marlet

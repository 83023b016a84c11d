#pragma once
// The Win32 platform table that marlet.exe installs at its start.
#include "platform/platform.h"

namespace marlet {

extern const Platform kWin32Platform;

}  // namespace marlet

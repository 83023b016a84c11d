#pragma once
// The two records the options writer alternates between.
#include <string>

#include "settings/options.h"

namespace writer {

inline marlet::cmOptions shortRecord() {
    marlet::cmOptions o;
    o.dxPath = "C:\\Dorvex\\";
    o.configPath = "C:\\Dorvex\\Config\\";
    return o;
}

// Much longer than the short one, so a write cut off part way cannot pass for either.
inline marlet::cmOptions longRecord() {
    marlet::cmOptions o;
    o.displayTwain = o.displayDorvex = o.promptMemo = o.debugMode = true;
    o.dxPath = "D:\\" + std::string(64 * 1024, 'd') + "\\";
    o.configPath = "E:\\" + std::string(64 * 1024, 'c') + "\\";
    return o;
}

}  // namespace writer

// Placeholder until the Options dialog window lands.
#include "platform/error.h"
#include "ui/dialogs_win32.h"

namespace marlet::win32 {

void showOptionsDialog(frmOptions&) { throw Error(5, "Invalid procedure call or argument"); }
std::string browseForFolder(void*, const std::string&) { return {}; }
bool scannerAvailable() { return false; }
void selectScanner(void*) {}

}  // namespace marlet::win32

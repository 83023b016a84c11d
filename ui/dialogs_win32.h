#pragma once
// The Windows side of the Options dialog, the folder browser and the scanner.
#include <string>

namespace marlet {
class OptionsForm;
}

namespace marlet::win32 {

void showOptionsDialog(OptionsForm& form);
std::string browseForFolder(void* ownerWindow, const std::string& prompt);
bool scannerAvailable();
void selectScanner(void* ownerWindow);

}  // namespace marlet::win32

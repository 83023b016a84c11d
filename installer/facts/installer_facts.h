#pragma once
// What the installers' own languages need of Marlet's tables, written at build
// time (main.cpp) so that neither keeps a copy.
#include <string>

namespace marlet::installer {

// The NSIS include MarletSetup.nsi writes a new dxqb.ini with and checks a
// folder by: the macros WriteNewSettings and FolderCharacterFault and the
// define FOLDER_NOT_IN_CODE_PAGE (new_settings.h).
std::string nsisInclude();

// The WiX include of the MSI packages' Registry rows: for each COM class
// (com/com_classes.h) what marlet.exe /regserver writes, its LocalServer32
// naming the installed marlet.exe in quotes.
std::string wixComClasses();

}  // namespace marlet::installer

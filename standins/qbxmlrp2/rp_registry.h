#pragma once
// Where the registered stand-in keeps its files, for programs that read them
// (the QuickBooks host stand-in builds its File menu from the stored subscriptions).
#include <filesystem>

namespace qbrp {

// The folder of the DLL registered for "QBXMLRP2.RequestProcessor"; empty when
// none is registered. Windows only.
std::filesystem::path registeredFolder();

}  // namespace qbrp

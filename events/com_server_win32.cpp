// Placeholder until the COM local server lands.
#include "events/com_server.h"

namespace marlet {

bool handleRegistrationSwitches(const std::wstring&, int&) { return false; }
void serveComIfEmbedded(const std::wstring&) {}

}  // namespace marlet

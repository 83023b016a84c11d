#pragma once
// QBMenuListener: the object QuickBooks calls when one of Marlet's File-menu
// entries is picked. It keeps no state; the COM class on the Windows side wraps it.
#include <memory>
#include <string>

#include "platform/platform.h"

namespace marlet {

// The file-tools object; every new listener replaces it.
extern std::unique_ptr<AutoObject> gFileTools;

class QBMenuListener {
public:
    // Creates gFileTools. When that fails it shows the failure and ends the process.
    void Class_Initialize();
    void Class_Terminate() {}
    // Acts on one menu event. Handles no failure itself: an Error reaches the caller.
    void inform(const std::string& eventXML);

private:
    void dispatch(const std::string& eventXML);
};

}  // namespace marlet

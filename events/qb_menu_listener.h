#pragma once
// QBMenuListener: the object QuickBooks calls when one of Marlet's File-menu
// entries is picked. It keeps no state; the COM class on the Windows side wraps it.
// No call of QuickBooks' waits for a person: what an event leads to, and the box
// for a listener that cannot be made, wait in menuEvents() (events/event_queue.h)
// and run once the call has returned.
#include <memory>
#include <string>

#include "platform/platform.h"

namespace marlet {

// The file-tools object; every new listener replaces it. Released before COM
// goes, which unloads its library.
extern std::unique_ptr<AutoObject> gFileTools;
void releaseFileTools();

class QBMenuListener {
public:
    // Creates gFileTools. When that fails the failure is thrown, and the box
    // that tells it, after which the process ends, waits in menuEvents().
    void createFileTools();
    // Reads one event and leaves what it leads to in menuEvents(). An event that
    // cannot be read is thrown at once; one without a tag of Marlet's leaves
    // nothing; one that repeats a pick still waiting leaves nothing more. A
    // failure of the work is logged and shown in one box, after the call.
    void inform(const std::string& eventXML);
};

}  // namespace marlet

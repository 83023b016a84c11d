#include "platform/process_state.h"

#include <vector>

namespace marlet {

// Built on first use: owners register while the statics are made, in any order.
static std::vector<void (*)()>& resets() {
    static std::vector<void (*)()> all;
    return all;
}

// The process starts from the same state: the owner's first values are its
// reset's, written once.
ProcessStateOwner::ProcessStateOwner(void (*reset)()) {
    resets().push_back(reset);
    reset();
}

void resetProcessState() {
    for (void (*reset)() : resets()) reset();
}

}  // namespace marlet

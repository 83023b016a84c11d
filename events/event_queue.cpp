#include "events/event_queue.h"

#include "platform/process_state.h"

namespace marlet {

void EventQueue::setHooks(void (*arrived)(), void (*finished)()) {
    arrived_ = arrived;
    finished_ = finished;
}

bool EventQueue::push(Work work, const std::string& same) {
    if (!same.empty())
        for (const Piece& piece : waiting_)
            if (piece.same == same) return false;
    waiting_.push_back({std::move(work), same, arrived_ != nullptr});
    if (arrived_) arrived_();
    return true;
}

void EventQueue::runWaiting() {
    if (running_) return;
    running_ = true;
    struct Over {
        EventQueue& q;
        ~Over() { q.running_ = false; }
    } over{*this};
    while (!waiting_.empty()) {
        Piece piece = std::move(waiting_.front());
        waiting_.pop_front();
        struct Finished {
            void (*hook)();
            ~Finished() {
                if (hook) hook();
            }
        } finished{piece.told ? finished_ : nullptr};
        piece.work();
    }
}

EventQueue& menuEvents() {
    static EventQueue queue;
    return queue;
}

// A fresh process: nothing waits, and no server has set its hooks.
static const ProcessStateOwner kQueueState([] { menuEvents() = EventQueue(); });

}  // namespace marlet

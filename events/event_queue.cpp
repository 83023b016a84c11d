#include "events/event_queue.h"

#include "platform/process_state.h"

namespace marlet {

void EventQueue::setHooks(void (*arrived)(), void (*finished)()) {
    arrived_ = arrived;
    finished_ = finished;
}

void EventQueue::push(Work work) {
    waiting_.push_back(std::move(work));
    if (arrived_) arrived_();
}

void EventQueue::runWaiting() {
    if (running_) return;
    running_ = true;
    struct Over {
        EventQueue& q;
        ~Over() { q.running_ = false; }
    } over{*this};
    while (!waiting_.empty()) {
        Work work = std::move(waiting_.front());
        waiting_.pop_front();
        struct Finished {
            void (*hook)();
            ~Finished() {
                if (hook) hook();
            }
        } finished{finished_};
        work();
    }
}

EventQueue& menuEvents() {
    static EventQueue queue;
    return queue;
}

// A fresh process: nothing waits, and no server has set its hooks.
static const ProcessStateOwner kQueueState([] { menuEvents() = EventQueue(); });

}  // namespace marlet

#pragma once
// The work menu events lead to, waiting its turn in marlet.exe's own message
// loop. QuickBooks ignores its menu while a call to the listener lasts, so the
// call only reads the event and leaves what it leads to here; the loop runs it
// once the call has returned. One piece of work runs at a time, in the order
// it came.
#include <deque>
#include <functional>

namespace marlet {

class EventQueue {
public:
    using Work = std::function<void()>;

    // What the server does around the queue: `arrived` when work is left
    // (before push returns; the server holds itself and wakes its loop),
    // `finished` when a piece of work is over, however it ended.
    void setHooks(void (*arrived)(), void (*finished)());

    void push(Work work);
    // Runs what waits, in arrival order, until nothing does. Called again while
    // a piece runs (a box's or dialog's own message loop dispatching the wake-up)
    // it returns at once: the running call takes the new work after the current.
    void runWaiting();
    // Nothing waits and nothing runs.
    bool idle() const { return waiting_.empty() && !running_; }

private:
    std::deque<Work> waiting_;
    bool running_ = false;
    void (*arrived_)() = nullptr;
    void (*finished_)() = nullptr;
};

// The process's one queue: the listeners fill it, the server's loop empties it.
EventQueue& menuEvents();

}  // namespace marlet

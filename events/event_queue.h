#pragma once
// The work menu events lead to, waiting its turn in marlet.exe's own message
// loop. QuickBooks ignores its menu while a call to the listener lasts, so the
// call only reads the event and leaves what it leads to here; the loop runs it
// once the call has returned. One piece of work runs at a time, in the order
// it came.
#include <deque>
#include <functional>
#include <string>

namespace marlet {

class EventQueue {
public:
    using Work = std::function<void()>;

    // What the server does around the queue: `arrived` when work is left
    // (before push returns; the server holds itself and wakes its loop),
    // `finished` when a piece of work it was told of is over, however it ended.
    // Work left before the hooks are set is not told of: it runs at the next
    // wake-up, or when the process ends (runWaiting from its last steps).
    void setHooks(void (*arrived)(), void (*finished)());

    // `same`, when not empty, says which pick the work is for: work whose
    // `same` equals that of work still waiting is the same pick made again,
    // and is dropped (false). A pick under way is no longer waiting.
    bool push(Work work, const std::string& same = "");
    // Runs what waits, in arrival order, until nothing does. Called again while
    // a piece runs (a box's or dialog's own message loop dispatching the wake-up)
    // it returns at once: the running call takes the new work after the current.
    void runWaiting();
    // Nothing waits and nothing runs.
    bool idle() const { return waiting_.empty() && !running_; }

private:
    struct Piece {
        Work work;
        std::string same;
        bool told;  // the server was told of it (`arrived`)
    };
    std::deque<Piece> waiting_;
    bool running_ = false;
    void (*arrived_)() = nullptr;
    void (*finished_)() = nullptr;
};

// The process's one queue: the listeners fill it, the server's loop empties it.
EventQueue& menuEvents();

}  // namespace marlet

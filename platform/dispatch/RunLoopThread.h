#pragma once
// A thread of its own that runs its run loop in the default mode for as long
// as the thread object lives: the place for work that must happen on one
// known thread (connections scheduled there, their delegate calls), reached
// with perform(), the platform's perform-on-thread. The loop never runs dry:
// with nothing to do it sleeps until a block arrives.

#include <memory>
#include <string>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopMode.h"

namespace dispatch {

struct RunLoopThreadState;

class RunLoopThread {
public:
    // Starts the thread and returns once its loop is running. `name` is the
    // thread's name (the system keeps its first 15 bytes).
    explicit RunLoopThread(std::string name);
    // Stops the loop and joins the thread; blocks not yet run are dropped.
    ~RunLoopThread();
    RunLoopThread(const RunLoopThread&) = delete;
    RunLoopThread& operator=(const RunLoopThread&) = delete;

    const std::string& name() const { return name_; }
    // Runs `block` on the thread, after the blocks performed before it, the
    // next time its loop runs in one of `modes`. Never waits; any thread.
    void perform(Block block, RunLoopModes modes = {RunLoopMode::Default});
    // True on the thread itself.
    bool isCurrent() const;
    // The thread's loop, to schedule connections or timers in.
    RunLoop& runLoop() const { return *loop_; }

private:
    std::string name_;
    std::shared_ptr<RunLoop> loop_;
    std::shared_ptr<RunLoopThreadState> state_;  // shared with the thread's body
};

}  // namespace dispatch

#include "platform/dispatch/RunLoopThread.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace dispatch {

struct RunLoopThreadState {
    std::mutex lock;
    std::condition_variable started;
    std::shared_ptr<RunLoop> loop;
    std::atomic<bool> stopping{false};
    std::thread::id id;
    std::thread thread;
};

RunLoopThread::RunLoopThread(std::string name) : name_(std::move(name)), state_(std::make_shared<RunLoopThreadState>()) {
    auto state = state_;
    std::string threadName = name_.substr(0, 15);
    state->thread = std::thread([state, threadName] {
        ::pthread_setname_np(::pthread_self(), threadName.c_str());
        {
            std::lock_guard guard(state->lock);
            state->loop = RunLoop::current().shared_from_this();
            state->id = std::this_thread::get_id();
        }
        state->started.notify_all();
        // run() returns only on stop(); a stop that came before the loop ran
        // is caught by the flag.
        while (!state->stopping.load()) RunLoop::current().run();
    });
    std::unique_lock guard(state->lock);
    state->started.wait(guard, [&] { return state->loop != nullptr; });
    loop_ = state->loop;
}

RunLoopThread::~RunLoopThread() {
    state_->stopping.store(true);
    // The stop must happen on the loop's own run, so it is performed there.
    loop_->performBlock([loop = loop_.get()] { loop->stop(); }, {RunLoopMode::Default});
    if (state_->thread.joinable()) state_->thread.join();
}

void RunLoopThread::perform(Block block, RunLoopModes modes) { loop_->performBlock(std::move(block), modes); }

bool RunLoopThread::isCurrent() const { return std::this_thread::get_id() == state_->id; }

}  // namespace dispatch

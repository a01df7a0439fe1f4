#pragma once
// Operations and the queues that run them. An operation runs once its
// dependencies have finished; a queue starts its ready operations in the
// order they were added, no more at a time than its maximum. The main queue
// runs one at a time on the main thread, and starts the next only when the
// previous one has finished: an asynchronous operation (one that finishes
// later by calling finish()) holds the queue until then.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch/Group.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class OperationQueue;

class Operation : public Object {
    RT_DECLARE_CLASS(Operation)
public:
    Operation();
    ~Operation() override;

    // Runs the operation on the calling thread: main() unless it was
    // cancelled first. Raises NSInvalidArgumentException when it is not
    // ready or has already been started.
    virtual void start();
    // The work itself; nothing by default.
    virtual void main();
    // An asynchronous operation is still executing when main() returns and
    // calls finish() when its work is done.
    virtual bool isAsynchronous() const { return false; }
    void finish();

    // Overridable: a subclass that owns work in flight stops it, then calls this.
    virtual void cancel();
    bool isCancelled() const;
    bool isExecuting() const;
    bool isFinished() const;
    // Every dependency has finished, or the operation was cancelled.
    bool isReady() const;

    void addDependency(const Ref<Operation>& operation);
    void removeDependency(const Ref<Operation>& operation);
    std::vector<Ref<Operation>> dependencies() const;

    // Runs on the thread that finishes the operation, once; then released.
    void setCompletionBlock(std::function<void()> block);
    std::function<void()> completionBlock() const;

    // Blocks until the operation has finished.
    void waitUntilFinished();

    std::string name() const;
    void setName(std::string name);

private:
    friend class OperationQueue;
    enum class State { Pending, Executing, Finished };

    bool readyLocked() const;
    void dependencyChanged();

    mutable std::mutex lock_;
    State state_ = State::Pending;
    bool cancelled_ = false;
    std::vector<Ref<Operation>> dependencies_;
    std::vector<Weak<Operation>> dependents_;
    std::function<void()> completionBlock_;
    std::string name_;
    Weak<OperationQueue> queue_;
    bool enqueued_ = false;
    // Set by the queue (under its lock) once it has started the operation.
    bool startedByQueue_ = false;
    std::shared_ptr<dispatch::Group> finished_;
};

// An operation that runs its blocks in the order they were added.
class BlockOperation : public Operation {
    RT_DECLARE_CLASS(BlockOperation)
public:
    static Ref<BlockOperation> create(std::function<void()> block);

    // Raises NSInvalidArgumentException once the operation has started.
    void addExecutionBlock(std::function<void()> block);
    std::vector<std::function<void()>> executionBlocks() const;

    void main() override;

private:
    mutable std::mutex blocksLock_;
    std::vector<std::function<void()>> blocks_;
};

class OperationQueue : public Object {
    RT_DECLARE_CLASS(OperationQueue)
public:
    static constexpr long DefaultMaxConcurrentOperationCount = -1;

    OperationQueue();
    // The queue bound to the main thread; at most one operation at a time.
    static Ref<OperationQueue> mainQueue();

    // Raises NSInvalidArgumentException for an operation that is already in
    // a queue, executing or finished.
    void addOperation(const Ref<Operation>& operation);
    void addOperations(const std::vector<Ref<Operation>>& operations, bool waitUntilFinished);
    void addOperationWithBlock(std::function<void()> block);

    // The operations not finished yet, in the order they were added.
    std::vector<Ref<Operation>> operations() const;
    size_t operationCount() const;

    long maxConcurrentOperationCount() const;
    // -1 lets the queue choose; the main queue keeps 1 whatever is set.
    void setMaxConcurrentOperationCount(long count);
    // A suspended queue starts no new operations; running ones go on.
    bool isSuspended() const;
    void setSuspended(bool suspended);

    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();

    std::string name() const;
    void setName(std::string name);

private:
    friend class Operation;

    void startReadyOperations();
    void operationFinished(Operation* operation);
    void startAbandoned(Operation* operation);

    mutable std::mutex lock_;
    bool isMain_ = false;
    std::vector<Ref<Operation>> operations_;
    long executing_ = 0;
    long maxConcurrent_ = DefaultMaxConcurrentOperationCount;
    bool suspended_ = false;
    std::string name_;
    std::shared_ptr<dispatch::Group> unfinished_;
};

}  // namespace ns

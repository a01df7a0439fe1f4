#include "platform/foundation/OperationQueue.h"

#include <algorithm>

#include "platform/dispatch/Queue.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(Operation, Object, "NSOperation")
RT_DEFINE_CLASS(BlockOperation, Operation, "NSBlockOperation")
RT_DEFINE_CLASS(OperationQueue, Object, "NSOperationQueue")

// ---- Operation ----

Operation::Operation() : finished_(dispatch::Group::create()) { finished_->enter(); }

Operation::~Operation() = default;

bool Operation::readyLocked() const {
    if (cancelled_) return true;
    return std::all_of(dependencies_.begin(), dependencies_.end(), [](const Ref<Operation>& d) { return d->isFinished(); });
}

bool Operation::isReady() const {
    std::lock_guard<std::mutex> hold(lock_);
    return readyLocked();
}

bool Operation::isCancelled() const {
    std::lock_guard<std::mutex> hold(lock_);
    return cancelled_;
}

bool Operation::isExecuting() const {
    std::lock_guard<std::mutex> hold(lock_);
    return state_ == State::Executing;
}

bool Operation::isFinished() const {
    std::lock_guard<std::mutex> hold(lock_);
    return state_ == State::Finished;
}

void Operation::start() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (state_ != State::Pending) {
            Exception::raise(InvalidArgumentException, "-[" + className() + " start]: the operation has already started");
        }
        if (!readyLocked()) {
            Exception::raise(InvalidArgumentException, "-[" + className() + " start]: the operation is not yet ready");
        }
        state_ = State::Executing;
    }
    // Cancelled before it began: finishes without doing its work.
    if (isCancelled()) {
        finish();
        return;
    }
    main();
    if (!isAsynchronous()) finish();
}

void Operation::main() {}

void Operation::finish() {
    std::function<void()> completion;
    std::vector<Weak<Operation>> dependents;
    Ref<OperationQueue> queue;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (state_ == State::Finished) return;
        state_ = State::Finished;
        completion = std::move(completionBlock_);
        completionBlock_ = nullptr;
        dependents = dependents_;
        queue = queue_.lock();
    }
    if (queue) queue->operationFinished(this);
    for (auto& weak : dependents) {
        if (auto dependent = weak.lock()) dependent->dependencyChanged();
    }
    finished_->leave();
    if (completion) completion();
}

void Operation::cancel() {
    Ref<OperationQueue> queue;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (state_ == State::Finished || cancelled_) return;
        cancelled_ = true;
        queue = queue_.lock();
    }
    // A cancelled operation is ready at once, whatever it depends on.
    if (queue) queue->startReadyOperations();
}

void Operation::dependencyChanged() {
    Ref<OperationQueue> queue;
    {
        std::lock_guard<std::mutex> hold(lock_);
        queue = queue_.lock();
    }
    if (queue) queue->startReadyOperations();
}

void Operation::addDependency(const Ref<Operation>& operation) {
    if (!operation || operation.get() == this) {
        Exception::raise(InvalidArgumentException, "-[" + className() + " addDependency:]: invalid dependency");
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (std::find(dependencies_.begin(), dependencies_.end(), operation) != dependencies_.end()) return;
        dependencies_.push_back(operation);
    }
    std::lock_guard<std::mutex> hold(operation->lock_);
    operation->dependents_.push_back(std::static_pointer_cast<Operation>(shared_from_this()));
}

void Operation::removeDependency(const Ref<Operation>& operation) {
    if (!operation) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = std::find(dependencies_.begin(), dependencies_.end(), operation);
        if (it == dependencies_.end()) return;
        dependencies_.erase(it);
    }
    {
        std::lock_guard<std::mutex> hold(operation->lock_);
        std::erase_if(operation->dependents_, [this](const Weak<Operation>& w) {
            auto d = w.lock();
            return !d || d.get() == this;
        });
    }
    dependencyChanged();
}

std::vector<Ref<Operation>> Operation::dependencies() const {
    std::lock_guard<std::mutex> hold(lock_);
    return dependencies_;
}

void Operation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard<std::mutex> hold(lock_);
    completionBlock_ = std::move(block);
}

std::function<void()> Operation::completionBlock() const {
    std::lock_guard<std::mutex> hold(lock_);
    return completionBlock_;
}

void Operation::waitUntilFinished() { finished_->wait(dispatch::Forever); }

std::string Operation::name() const {
    std::lock_guard<std::mutex> hold(lock_);
    return name_;
}

void Operation::setName(std::string name) {
    std::lock_guard<std::mutex> hold(lock_);
    name_ = std::move(name);
}

// ---- BlockOperation ----

Ref<BlockOperation> BlockOperation::create(std::function<void()> block) {
    auto operation = std::make_shared<BlockOperation>();
    operation->addExecutionBlock(std::move(block));
    return operation;
}

void BlockOperation::addExecutionBlock(std::function<void()> block) {
    if (!block) Exception::raise(InvalidArgumentException, "-[NSBlockOperation addExecutionBlock:]: nil block");
    if (isExecuting() || isFinished()) {
        Exception::raise(InvalidArgumentException,
                         "-[NSBlockOperation addExecutionBlock:]: blocks cannot be added after the operation has "
                         "started executing or finished");
    }
    std::lock_guard<std::mutex> hold(blocksLock_);
    blocks_.push_back(std::move(block));
}

std::vector<std::function<void()>> BlockOperation::executionBlocks() const {
    std::lock_guard<std::mutex> hold(blocksLock_);
    return blocks_;
}

void BlockOperation::main() {
    for (auto& block : executionBlocks()) block();
}

// ---- OperationQueue ----

OperationQueue::OperationQueue() : unfinished_(dispatch::Group::create()) {}

Ref<OperationQueue> OperationQueue::mainQueue() {
    static const Ref<OperationQueue>* queue = [] {
        auto q = std::make_shared<OperationQueue>();
        q->isMain_ = true;
        q->maxConcurrent_ = 1;
        q->name_ = "NSOperationQueue Main Queue";
        return new Ref<OperationQueue>(q);
    }();
    return *queue;
}

void OperationQueue::addOperation(const Ref<Operation>& operation) {
    if (!operation) Exception::raise(InvalidArgumentException, "-[NSOperationQueue addOperation:]: nil operation");
    {
        std::lock_guard<std::mutex> hold(operation->lock_);
        if (operation->enqueued_) {
            Exception::raise(InvalidArgumentException,
                             "-[NSOperationQueue addOperation:]: operation is already enqueued on a queue");
        }
        if (operation->state_ != Operation::State::Pending) {
            Exception::raise(InvalidArgumentException,
                             "-[NSOperationQueue addOperation:]: operation is executing or finished and cannot be "
                             "enqueued");
        }
        operation->enqueued_ = true;
        operation->queue_ = std::static_pointer_cast<OperationQueue>(shared_from_this());
    }
    unfinished_->enter();
    {
        std::lock_guard<std::mutex> hold(lock_);
        operations_.push_back(operation);
    }
    startReadyOperations();
}

void OperationQueue::addOperations(const std::vector<Ref<Operation>>& operations, bool waitUntilFinished) {
    for (const auto& operation : operations) addOperation(operation);
    if (waitUntilFinished) {
        for (const auto& operation : operations) operation->waitUntilFinished();
    }
}

void OperationQueue::addOperationWithBlock(std::function<void()> block) {
    addOperation(BlockOperation::create(std::move(block)));
}

void OperationQueue::startReadyOperations() {
    std::vector<Ref<Operation>> starting;
    dispatch::QueueRef target = isMain_ ? dispatch::mainQueue() : dispatch::globalQueue();
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (suspended_) return;
        for (const auto& operation : operations_) {
            if (maxConcurrent_ >= 0 && executing_ >= maxConcurrent_) break;
            if (operation->startedByQueue_ || !operation->isReady()) continue;
            operation->startedByQueue_ = true;
            ++executing_;
            starting.push_back(operation);
        }
    }
    for (auto& operation : starting) {
        // A dispatched block can be dropped unrun (a test's task environment ends with it
        // still queued). The ticket then hands the slot back, so the queue does not stay
        // full forever and the operation runs at the next start.
        struct StartTicket {
            Ref<Operation> operation;
            Weak<OperationQueue> queue;
            bool ran = false;
            ~StartTicket() {
                if (ran) return;
                if (auto owner = queue.lock()) owner->startAbandoned(operation.get());
            }
        };
        auto ticket = std::make_shared<StartTicket>();
        ticket->operation = operation;
        ticket->queue = std::static_pointer_cast<OperationQueue>(shared_from_this());
        target->async([ticket] {
            ticket->ran = true;
            // Finished from outside before its turn came: nothing to start.
            if (!ticket->operation->isFinished()) ticket->operation->start();
        });
    }
}

void OperationQueue::startAbandoned(Operation* operation) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = std::find_if(operations_.begin(), operations_.end(),
                           [operation](const Ref<Operation>& o) { return o.get() == operation; });
    if (it == operations_.end() || !operation->startedByQueue_) return;
    operation->startedByQueue_ = false;
    --executing_;
}

void OperationQueue::operationFinished(Operation* operation) {
    Ref<Operation> removed;  // released outside the lock
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = std::find_if(operations_.begin(), operations_.end(),
                               [operation](const Ref<Operation>& o) { return o.get() == operation; });
        if (it == operations_.end()) return;
        if (operation->startedByQueue_) --executing_;
        removed = std::move(*it);
        operations_.erase(it);
    }
    unfinished_->leave();
    startReadyOperations();
}

std::vector<Ref<Operation>> OperationQueue::operations() const {
    std::lock_guard<std::mutex> hold(lock_);
    return operations_;
}

size_t OperationQueue::operationCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return operations_.size();
}

long OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return maxConcurrent_;
}

void OperationQueue::setMaxConcurrentOperationCount(long count) {
    if (count < DefaultMaxConcurrentOperationCount) {
        Exception::raise(InvalidArgumentException,
                         "-[NSOperationQueue setMaxConcurrentOperationCount:]: count must be -1 or more");
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (isMain_) return;
        maxConcurrent_ = count;
    }
    startReadyOperations();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard<std::mutex> hold(lock_);
    return suspended_;
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        suspended_ = suspended;
    }
    if (!suspended) startReadyOperations();
}

void OperationQueue::cancelAllOperations() {
    for (auto& operation : operations()) operation->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() { unfinished_->wait(dispatch::Forever); }

std::string OperationQueue::name() const {
    std::lock_guard<std::mutex> hold(lock_);
    return name_;
}

void OperationQueue::setName(std::string name) {
    std::lock_guard<std::mutex> hold(lock_);
    name_ = std::move(name);
}

}  // namespace ns

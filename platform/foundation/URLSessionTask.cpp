#include "platform/foundation/URLSessionTask.h"

#include <algorithm>

#include "platform/foundation/Format.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionTaskLoader.h"

namespace ns {

RT_DEFINE_CLASS(URLSessionTask, Object, "NSURLSessionTask")
RT_DEFINE_CLASS(URLSessionDataTask, URLSessionTask, "NSURLSessionDataTask")
RT_DEFINE_CLASS(URLSessionUploadTask, URLSessionDataTask, "NSURLSessionUploadTask")
RT_DEFINE_CLASS(URLSessionDownloadTask, URLSessionTask, "NSURLSessionDownloadTask")

namespace {

struct ActivityHooks {
    std::mutex lock;
    std::map<uint64_t, URLSessionTask::ActivityHook> hooks;
    uint64_t next = 1;
};

ActivityHooks& activityHooks() {
    static ActivityHooks hooks;
    return hooks;
}

void runActivityHooks(URLSessionTask& task, URLSessionTask::Activity activity) {
    std::vector<URLSessionTask::ActivityHook> hooks;
    {
        ActivityHooks& all = activityHooks();
        std::lock_guard guard(all.lock);
        for (const auto& [token, hook] : all.hooks) hooks.push_back(hook);
    }
    for (const auto& hook : hooks) hook(task, activity);
}

}  // namespace

URLSessionTask::~URLSessionTask() = default;

void URLSessionTask::setUp(Weak<URLSession> session, uint64_t identifier, Ref<URLRequest> request) {
    session_ = std::move(session);
    identifier_ = identifier;
    originalRequest_ = request;
    currentRequest_ = std::move(request);
}

Ref<URLRequest> URLSessionTask::currentRequest() const {
    std::lock_guard guard(lock_);
    return currentRequest_;
}

Ref<URLResponse> URLSessionTask::response() const {
    std::lock_guard guard(lock_);
    return response_;
}

Ref<Error> URLSessionTask::error() const {
    std::lock_guard guard(lock_);
    return error_;
}

int64_t URLSessionTask::state() const {
    std::lock_guard guard(lock_);
    return state_;
}

int64_t URLSessionTask::countOfBytesSent() const { return sent_.load(); }
int64_t URLSessionTask::countOfBytesReceived() const { return received_.load(); }
int64_t URLSessionTask::countOfBytesExpectedToSend() const { return expectedToSend_.load(); }
int64_t URLSessionTask::countOfBytesExpectedToReceive() const { return expectedToReceive_.load(); }

Ref<String> URLSessionTask::taskDescription() const {
    std::lock_guard guard(lock_);
    return description_;
}

void URLSessionTask::setTaskDescription(Ref<String> description) {
    std::lock_guard guard(lock_);
    description_ = description ? cast<String>(description->copy()) : nullptr;
}

float URLSessionTask::priority() const {
    std::lock_guard guard(lock_);
    return priority_;
}

void URLSessionTask::setPriority(float priority) {
    std::lock_guard guard(lock_);
    priority_ = std::clamp(priority, 0.0f, 1.0f);
}

std::shared_ptr<detail::URLSessionTaskLoader> URLSessionTask::currentLoader() const {
    std::lock_guard guard(lock_);
    return loader_;
}

void URLSessionTask::setLoader(std::shared_ptr<detail::URLSessionTaskLoader> loader) {
    std::lock_guard guard(lock_);
    loader_ = std::move(loader);
}

void URLSessionTask::resume() {
    int64_t before;
    bool start = false;
    std::shared_ptr<detail::URLSessionTaskLoader> loader;
    {
        std::lock_guard guard(lock_);
        before = state_;
        if (state_ == URLSessionTaskStateSuspended) {
            state_ = URLSessionTaskStateRunning;
            start = !started_;
            started_ = true;
        }
        loader = loader_;
    }
    if (before == URLSessionTaskStateSuspended) {
        notify("state", URLSessionTaskStateRunning);
        if (loader) {
            if (start) loader->start();
            else loader->followTaskState(*this);
        }
    }
    if (before != URLSessionTaskStateRunning) runActivityHooks(*this, Activity::Resumed);
}

void URLSessionTask::suspend() {
    int64_t before;
    std::shared_ptr<detail::URLSessionTaskLoader> loader;
    {
        std::lock_guard guard(lock_);
        before = state_;
        if (state_ == URLSessionTaskStateRunning) state_ = URLSessionTaskStateSuspended;
        loader = loader_;
    }
    if (before == URLSessionTaskStateRunning) {
        notify("state", URLSessionTaskStateSuspended);
        if (loader) loader->followTaskState(*this);
    }
    if (before != URLSessionTaskStateSuspended) runActivityHooks(*this, Activity::Suspended);
}

std::shared_ptr<detail::URLSessionTaskLoader> URLSessionTask::beginCanceling() {
    std::shared_ptr<detail::URLSessionTaskLoader> loader;
    {
        std::lock_guard guard(lock_);
        if (state_ != URLSessionTaskStateRunning && state_ != URLSessionTaskStateSuspended) return nullptr;
        state_ = URLSessionTaskStateCanceling;
        loader = loader_;
    }
    notify("state", URLSessionTaskStateCanceling);
    return loader;
}

void URLSessionTask::cancel() {
    if (auto loader = beginCanceling()) loader->cancel();
}

void URLSessionDownloadTask::cancelByProducingResumeData(std::function<void(Ref<Data>)> completion) {
    if (auto loader = beginCanceling()) {
        loader->cancelProducingResumeData(std::move(completion));
    } else if (completion) {
        // Nothing to go on from; the answer still comes on the delegate queue.
        if (auto session = this->session()) session->delegateQueue()->addOperationWithBlock([completion] { completion(nullptr); });
    }
}

uint64_t URLSessionTask::addObserver(std::string keyPath, Observer observer) {
    std::lock_guard guard(observersLock_);
    const uint64_t token = nextObserver_++;
    observers_.emplace(token, std::make_pair(std::move(keyPath), std::move(observer)));
    observerCount_.store(observers_.size(), std::memory_order_release);
    return token;
}

void URLSessionTask::removeObserver(uint64_t token) {
    std::lock_guard guard(observersLock_);
    observers_.erase(token);
    observerCount_.store(observers_.size(), std::memory_order_release);
}

void URLSessionTask::notify(std::string_view keyPath, int64_t value) {
    if (!hasObservers()) return;
    std::vector<Observer> matching;
    {
        std::lock_guard guard(observersLock_);
        for (const auto& [token, entry] : observers_) {
            if (entry.first == keyPath) matching.push_back(entry.second);
        }
    }
    if (matching.empty()) return;
    const std::string path(keyPath);
    for (const auto& observer : matching) observer(*this, path, value);
}

uint64_t URLSessionTask::addActivityHook(ActivityHook hook) {
    ActivityHooks& all = activityHooks();
    std::lock_guard guard(all.lock);
    const uint64_t token = all.next++;
    all.hooks.emplace(token, std::move(hook));
    return token;
}

void URLSessionTask::removeActivityHook(uint64_t token) {
    ActivityHooks& all = activityHooks();
    std::lock_guard guard(all.lock);
    all.hooks.erase(token);
}

void URLSessionTask::setCurrentRequest(Ref<URLRequest> request) {
    std::lock_guard guard(lock_);
    currentRequest_ = std::move(request);
}

void URLSessionTask::setResponse(Ref<URLResponse> response) {
    std::lock_guard guard(lock_);
    response_ = std::move(response);
}

void URLSessionTask::setCounter(std::string_view keyPath, std::atomic<int64_t>& counter, int64_t value) {
    counter.store(value);
    notify(keyPath, value);
}

void URLSessionTask::setRunning() {
    std::lock_guard guard(lock_);
    state_ = URLSessionTaskStateRunning;
    started_ = true;
}

bool URLSessionTask::markCompleted(Ref<Error> error) {
    {
        std::lock_guard guard(lock_);
        if (state_ == URLSessionTaskStateCompleted) return false;
        state_ = URLSessionTaskStateCompleted;
        error_ = std::move(error);
    }
    notify("state", URLSessionTaskStateCompleted);
    return true;
}

std::string URLSessionTask::description() const {
    return format("<%@: %p>{ taskIdentifier: %llu } { state: %lld }", className(), static_cast<const void*>(this),
                  identifier_, state());
}

}  // namespace ns

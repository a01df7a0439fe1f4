#pragma once
// One load in a session. A task starts suspended; resume() starts it,
// suspend() pauses it, cancel() ends it with a cancelled error. Its byte
// counts, response and state change on the session's delegate queue just
// before the delegate hears of the change, and observers of those values
// are called there too. (A task with a completion handler and no observers
// has nobody to hear: its counts and response are set as they arrive, and
// are final by the time its completion handler runs.)

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class URLSession;

namespace detail {
class URLSessionTaskLoader;
}

// The platform's numbering.
enum URLSessionTaskState : int64_t {
    URLSessionTaskStateRunning = 0,
    URLSessionTaskStateSuspended = 1,
    URLSessionTaskStateCanceling = 2,
    URLSessionTaskStateCompleted = 3,
};

inline constexpr int64_t URLSessionTransferSizeUnknown = -1;
inline constexpr float URLSessionTaskPriorityLow = 0.25f;
inline constexpr float URLSessionTaskPriorityDefault = 0.5f;
inline constexpr float URLSessionTaskPriorityHigh = 0.75f;

class URLSessionTask : public Object {
    RT_DECLARE_CLASS(URLSessionTask)
public:
    URLSessionTask() = default;
    ~URLSessionTask() override;

    // Unique within its session, from 1.
    uint64_t taskIdentifier() const { return identifier_; }
    const Ref<URLRequest>& originalRequest() const { return originalRequest_; }
    // The request being loaded, after redirects.
    Ref<URLRequest> currentRequest() const;
    // nil until the response arrives.
    Ref<URLResponse> response() const;
    // nil unless the task failed or was cancelled.
    Ref<Error> error() const;
    int64_t state() const;

    int64_t countOfBytesSent() const;
    int64_t countOfBytesReceived() const;
    // URLSessionTransferSizeUnknown when the body's size is not known.
    int64_t countOfBytesExpectedToSend() const;
    int64_t countOfBytesExpectedToReceive() const;

    Ref<String> taskDescription() const;
    void setTaskDescription(Ref<String> description);
    float priority() const;
    void setPriority(float priority);

    void resume();
    void suspend();
    void cancel();

    // ---- Observing ----
    // `keyPath` is one of "countOfBytesSent", "countOfBytesReceived",
    // "countOfBytesExpectedToSend", "countOfBytesExpectedToReceive" and
    // "state"; the callback gets the new value whenever it is set.
    using Observer = std::function<void(URLSessionTask& task, const std::string& keyPath, int64_t newValue)>;
    uint64_t addObserver(std::string keyPath, Observer observer);
    void removeObserver(uint64_t token);

    // Called synchronously on the calling thread after each resume() of a
    // task that was not running and each suspend() of one that was not
    // suspended, for every task of every session.
    enum class Activity { Resumed, Suspended };
    using ActivityHook = std::function<void(URLSessionTask& task, Activity activity)>;
    static uint64_t addActivityHook(ActivityHook hook);
    static void removeActivityHook(uint64_t token);

    std::string description() const override;

protected:
    friend class URLSession;
    friend class detail::URLSessionTaskLoader;

    // ---- For the session and its loader ----
    void setUp(Weak<URLSession> session, uint64_t identifier, Ref<URLRequest> request);
    void setCurrentRequest(Ref<URLRequest> request);
    void setResponse(Ref<URLResponse> response);
    void setCounter(std::string_view keyPath, std::atomic<int64_t>& counter, int64_t value);
    void setCountOfBytesSent(int64_t value) { setCounter("countOfBytesSent", sent_, value); }
    void setCountOfBytesReceived(int64_t value) { setCounter("countOfBytesReceived", received_, value); }
    void setCountOfBytesExpectedToSend(int64_t value) { setCounter("countOfBytesExpectedToSend", expectedToSend_, value); }
    void setCountOfBytesExpectedToReceive(int64_t value) {
        setCounter("countOfBytesExpectedToReceive", expectedToReceive_, value);
    }
    // Completed, with the error; false when it already was.
    bool markCompleted(Ref<Error> error);
    // A task that takes over a load already under way.
    void setRunning();
    // Canceling, when running or suspended; the loader to tell (nil when
    // there is nothing to cancel).
    std::shared_ptr<detail::URLSessionTaskLoader> beginCanceling();
    void notify(std::string_view keyPath, int64_t value);
    // Any thread; an observer added meanwhile hears only later changes.
    bool hasObservers() const { return observerCount_.load(std::memory_order_acquire) > 0; }
    std::shared_ptr<detail::URLSessionTaskLoader> currentLoader() const;
    void setLoader(std::shared_ptr<detail::URLSessionTaskLoader> loader);
    Ref<URLSession> session() const { return session_.lock(); }

private:
    Weak<URLSession> session_;
    uint64_t identifier_ = 0;
    Ref<URLRequest> originalRequest_;

    mutable std::mutex lock_;
    std::shared_ptr<detail::URLSessionTaskLoader> loader_;
    Ref<URLRequest> currentRequest_;
    Ref<URLResponse> response_;
    Ref<Error> error_;
    Ref<String> description_;
    float priority_ = URLSessionTaskPriorityDefault;
    int64_t state_ = URLSessionTaskStateSuspended;
    bool started_ = false;
    std::atomic<int64_t> sent_{0};
    std::atomic<int64_t> received_{0};
    std::atomic<int64_t> expectedToSend_{0};
    std::atomic<int64_t> expectedToReceive_{0};

    std::mutex observersLock_;
    std::map<uint64_t, std::pair<std::string, Observer>> observers_;
    uint64_t nextObserver_ = 1;
    std::atomic<size_t> observerCount_{0};
};

class URLSessionDataTask : public URLSessionTask {
    RT_DECLARE_CLASS(URLSessionDataTask)
};

class URLSessionUploadTask : public URLSessionDataTask {
    RT_DECLARE_CLASS(URLSessionUploadTask)
};

class URLSessionDownloadTask : public URLSessionTask {
    RT_DECLARE_CLASS(URLSessionDownloadTask)
public:
    // Cancels the task; the completion gets data from which
    // URLSession::downloadTaskWithResumeData goes on where this stopped, or
    // nil when it cannot (nothing received yet, or the server gave no
    // validator). Called on the delegate queue.
    void cancelByProducingResumeData(std::function<void(Ref<Data>)> completion);
};

}  // namespace ns

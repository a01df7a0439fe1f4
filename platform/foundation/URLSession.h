#pragma once
// A URL session: loads tasks with one configuration and reports to one
// delegate on one delegate queue. Each session has its own transfer thread
// and keeps connections to a server alive between its tasks.
//
// The session holds its delegate until it is invalidated:
// finishTasksAndInvalidate() lets the tasks it has end first,
// invalidateAndCancel() cancels them; either way the delegate's
// didBecomeInvalidWithError is the last call. The shared session has no
// delegate and ignores both.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"
#include "platform/foundation/URLSessionConfiguration.h"
#include "platform/foundation/URLSessionDelegate.h"
#include "platform/foundation/URLSessionTask.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

namespace detail {
class CurlTransport;
class URLSessionDelivery;
class URLSessionTaskLoader;
struct LoaderSetup;
}  // namespace detail

// Completion handlers run on the delegate queue instead of the delegate's
// response, data and completion calls: the data (nil on failure), the
// response and the error.
using URLSessionDataCompletion = std::function<void(Ref<Data> data, Ref<URLResponse> response, Ref<Error> error)>;
// The downloaded file (removed when the handler returns), the response and the error.
using URLSessionDownloadCompletion =
    std::function<void(Ref<URL> location, Ref<URLResponse> response, Ref<Error> error)>;

class URLSession : public Object {
    RT_DECLARE_CLASS(URLSession)
public:
    URLSession();
    ~URLSession() override;

    // The default configuration, no delegate, a serial delegate queue.
    static Ref<URLSession> sharedSession();
    static Ref<URLSession> sessionWithConfiguration(const Ref<URLSessionConfiguration>& configuration);
    // A nil delegate queue makes a new serial operation queue.
    static Ref<URLSession> sessionWithConfiguration(const Ref<URLSessionConfiguration>& configuration,
                                                    Ref<URLSessionDelegate> delegate,
                                                    Ref<OperationQueue> delegateQueue);

    // A copy: changing it changes nothing here.
    Ref<URLSessionConfiguration> configuration() const;
    const Ref<OperationQueue>& delegateQueue() const { return delegateQueue_; }
    // nil once the session has become invalid.
    Ref<URLSessionDelegate> delegate() const;
    Ref<String> sessionDescription() const;
    void setSessionDescription(Ref<String> description);

    // ---- Tasks (suspended until resumed). After invalidation these raise
    // NSGenericException. ----
    Ref<URLSessionDataTask> dataTaskWithRequest(const Ref<URLRequest>& request);
    Ref<URLSessionDataTask> dataTaskWithRequest(const Ref<URLRequest>& request, URLSessionDataCompletion completion);
    Ref<URLSessionDataTask> dataTaskWithURL(const Ref<URL>& url);
    Ref<URLSessionDataTask> dataTaskWithURL(const Ref<URL>& url, URLSessionDataCompletion completion);
    // The file is read as it is sent.
    Ref<URLSessionUploadTask> uploadTaskWithRequestFromFile(const Ref<URLRequest>& request, const Ref<URL>& fileURL,
                                                            URLSessionDataCompletion completion = nullptr);
    Ref<URLSessionUploadTask> uploadTaskWithRequestFromData(const Ref<URLRequest>& request, const Ref<Data>& body,
                                                            URLSessionDataCompletion completion = nullptr);
    // The body is the request's body stream, read as it is sent; when there
    // is none, or it must be sent again, the delegate's needNewBodyStream
    // provides one.
    Ref<URLSessionUploadTask> uploadTaskWithStreamedRequest(const Ref<URLRequest>& request);
    Ref<URLSessionDownloadTask> downloadTaskWithRequest(const Ref<URLRequest>& request,
                                                        URLSessionDownloadCompletion completion = nullptr);
    Ref<URLSessionDownloadTask> downloadTaskWithURL(const Ref<URL>& url,
                                                    URLSessionDownloadCompletion completion = nullptr);
    // Goes on from cancelByProducingResumeData's data; fails when the data
    // is not such data or its partial file is gone.
    Ref<URLSessionDownloadTask> downloadTaskWithResumeData(const Ref<Data>& resumeData,
                                                           URLSessionDownloadCompletion completion = nullptr);

    void finishTasksAndInvalidate();
    void invalidateAndCancel();

    // The tasks not completed yet, on the delegate queue.
    void getTasksWithCompletionHandler(
        std::function<void(std::vector<Ref<URLSessionDataTask>> dataTasks,
                           std::vector<Ref<URLSessionUploadTask>> uploadTasks,
                           std::vector<Ref<URLSessionDownloadTask>> downloadTasks)> completion);
    void getAllTasksWithCompletionHandler(std::function<void(std::vector<Ref<URLSessionTask>> tasks)> completion);

    std::string description() const override;

private:
    friend class URLSessionTask;
    friend class detail::URLSessionTaskLoader;

    static Ref<URLSession> make(const Ref<URLSessionConfiguration>& configuration, Ref<URLSessionDelegate> delegate,
                                Ref<OperationQueue> delegateQueue, bool shared);
    template <class T>
    Ref<T> makeTask(const Ref<URLRequest>& request, detail::LoaderSetup setup);
    void checkValid() const;

    // ---- For tasks and their loaders ----
    // Runs `event` on the delegate queue after every event posted before it.
    // From the transfer thread it leaves at the end of the transport's round.
    void deliver(std::function<void()> event);
    // Sends what the transfer thread posted now, before it waits for an answer.
    void flushDeliveries();
    detail::CurlTransport& transport() const { return *transport_; }
    const Ref<URLSessionConfiguration>& currentConfiguration() const { return configuration_; }
    // A download task carrying on from `dataTask` (its response so far).
    Ref<URLSessionDownloadTask> adoptAsDownload(const Ref<URLSessionDataTask>& dataTask);
    // On the delegate queue, after the task's last call.
    void taskDidComplete(const URLSessionTask* task);
    void invalidateIfDoneLocked(std::vector<std::function<void()>>& after);

    Ref<URLSessionConfiguration> configuration_;
    Ref<OperationQueue> delegateQueue_;
    std::shared_ptr<detail::URLSessionDelivery> delivery_;
    std::unique_ptr<detail::CurlTransport> transport_;
    bool shared_ = false;

    mutable std::mutex lock_;
    Ref<URLSessionDelegate> delegate_;
    Ref<String> sessionDescription_;
    bool invalidating_ = false;
    bool invalidated_ = false;
    std::vector<Ref<URLSessionTask>> tasks_;
    uint64_t nextIdentifier_ = 1;
};

}  // namespace ns

#include "platform/foundation/URLSession.h"

#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/URLSessionDelivery.h"
#include "platform/foundation/URLSessionTaskLoader.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(URLSession, Object, "NSURLSession")

URLSession::URLSession() = default;

URLSession::~URLSession() = default;

Ref<URLSession> URLSession::make(const Ref<URLSessionConfiguration>& configuration, Ref<URLSessionDelegate> delegate,
                                 Ref<OperationQueue> delegateQueue, bool shared) {
    auto session = std::make_shared<URLSession>();
    auto config = configuration ? configuration : URLSessionConfiguration::defaultSessionConfiguration();
    session->configuration_ = cast<URLSessionConfiguration>(config->copy());
    if (!delegateQueue) {
        delegateQueue = std::make_shared<OperationQueue>();
        delegateQueue->setMaxConcurrentOperationCount(1);
        delegateQueue->setName("NSOperationQueue (URL session delegate queue)");
    }
    session->delegateQueue_ = std::move(delegateQueue);
    session->delivery_ = std::make_shared<detail::URLSessionDelivery>(session->delegateQueue_);
    session->transport_ = std::make_unique<detail::CurlTransport>(
        session->configuration_->HTTPMaximumConnectionsPerHost(),
        [delivery = session->delivery_] { delivery->flush(); });
    session->delegate_ = std::move(delegate);
    session->shared_ = shared;
    return session;
}

Ref<URLSession> URLSession::sharedSession() {
    static const Ref<URLSession> shared =
        make(URLSessionConfiguration::defaultSessionConfiguration(), nullptr, nullptr, true);
    return shared;
}

Ref<URLSession> URLSession::sessionWithConfiguration(const Ref<URLSessionConfiguration>& configuration) {
    return make(configuration, nullptr, nullptr, false);
}

Ref<URLSession> URLSession::sessionWithConfiguration(const Ref<URLSessionConfiguration>& configuration,
                                                     Ref<URLSessionDelegate> delegate,
                                                     Ref<OperationQueue> delegateQueue) {
    return make(configuration, std::move(delegate), std::move(delegateQueue), false);
}

Ref<URLSessionConfiguration> URLSession::configuration() const {
    return cast<URLSessionConfiguration>(configuration_->copy());
}

Ref<URLSessionDelegate> URLSession::delegate() const {
    std::lock_guard guard(lock_);
    return delegate_;
}

Ref<String> URLSession::sessionDescription() const {
    std::lock_guard guard(lock_);
    return sessionDescription_;
}

void URLSession::setSessionDescription(Ref<String> description) {
    std::lock_guard guard(lock_);
    sessionDescription_ = std::move(description);
}

void URLSession::checkValid() const {
    std::lock_guard guard(lock_);
    if (invalidating_) Exception::raise(GenericException, "Task created in a session that has been invalidated");
}

template <class T>
Ref<T> URLSession::makeTask(const Ref<URLRequest>& request, detail::LoaderSetup setup) {
    checkValid();
    auto task = std::make_shared<T>();
    uint64_t identifier;
    {
        std::lock_guard guard(lock_);
        identifier = nextIdentifier_++;
        tasks_.push_back(task);
    }
    // The task keeps the request as it is now.
    task->setUp(ref<URLSession>(), identifier, request ? URLRequest::copyOf(*request) : nullptr);
    // Known before the task runs, as observers set up at creation expect.
    if (request) task->expectedToSend_.store(setup.bodyLength(*request));
    task->setLoader(std::make_shared<detail::URLSessionTaskLoader>(task, std::move(setup)));
    return task;
}

Ref<URLSessionDataTask> URLSession::dataTaskWithRequest(const Ref<URLRequest>& request) {
    return makeTask<URLSessionDataTask>(request, {});
}

Ref<URLSessionDataTask> URLSession::dataTaskWithRequest(const Ref<URLRequest>& request,
                                                        URLSessionDataCompletion completion) {
    detail::LoaderSetup setup;
    setup.dataCompletion = std::move(completion);
    return makeTask<URLSessionDataTask>(request, std::move(setup));
}

Ref<URLSessionDataTask> URLSession::dataTaskWithURL(const Ref<URL>& url) {
    return dataTaskWithRequest(URLRequest::make(url, configuration_->requestCachePolicy()));
}

Ref<URLSessionDataTask> URLSession::dataTaskWithURL(const Ref<URL>& url, URLSessionDataCompletion completion) {
    return dataTaskWithRequest(URLRequest::make(url, configuration_->requestCachePolicy()), std::move(completion));
}

Ref<URLSessionUploadTask> URLSession::uploadTaskWithRequestFromFile(const Ref<URLRequest>& request,
                                                                    const Ref<URL>& fileURL,
                                                                    URLSessionDataCompletion completion) {
    detail::LoaderSetup setup;
    setup.body = detail::LoaderSetup::Body::File;
    if (fileURL && fileURL->path()) setup.uploadFile = fileURL->path()->utf8();
    setup.dataCompletion = std::move(completion);
    return makeTask<URLSessionUploadTask>(request, std::move(setup));
}

Ref<URLSessionUploadTask> URLSession::uploadTaskWithRequestFromData(const Ref<URLRequest>& request,
                                                                    const Ref<Data>& body,
                                                                    URLSessionDataCompletion completion) {
    detail::LoaderSetup setup;
    setup.body = detail::LoaderSetup::Body::Data;
    setup.uploadData = body ? cast<Data>(body->copy()) : Data::make();
    setup.dataCompletion = std::move(completion);
    return makeTask<URLSessionUploadTask>(request, std::move(setup));
}

Ref<URLSessionUploadTask> URLSession::uploadTaskWithStreamedRequest(const Ref<URLRequest>& request) {
    detail::LoaderSetup setup;
    setup.body = detail::LoaderSetup::Body::Stream;
    return makeTask<URLSessionUploadTask>(request, std::move(setup));
}

Ref<URLSessionDownloadTask> URLSession::downloadTaskWithRequest(const Ref<URLRequest>& request,
                                                                URLSessionDownloadCompletion completion) {
    detail::LoaderSetup setup;
    setup.kind = detail::LoaderSetup::Kind::Download;
    setup.downloadCompletion = std::move(completion);
    return makeTask<URLSessionDownloadTask>(request, std::move(setup));
}

Ref<URLSessionDownloadTask> URLSession::downloadTaskWithURL(const Ref<URL>& url,
                                                            URLSessionDownloadCompletion completion) {
    return downloadTaskWithRequest(URLRequest::make(url, configuration_->requestCachePolicy()), std::move(completion));
}

Ref<URLSessionDownloadTask> URLSession::downloadTaskWithResumeData(const Ref<Data>& resumeData,
                                                                   URLSessionDownloadCompletion completion) {
    detail::LoaderSetup setup;
    setup.kind = detail::LoaderSetup::Kind::Download;
    setup.downloadCompletion = std::move(completion);
    setup.resume = detail::ResumePoint::decode(resumeData.get());
    setup.badResumeData = !setup.resume;
    Ref<URL> url = setup.resume ? URL::make(setup.resume->url) : nullptr;
    return makeTask<URLSessionDownloadTask>(URLRequest::make(url), std::move(setup));
}

Ref<URLSessionDownloadTask> URLSession::adoptAsDownload(const Ref<URLSessionDataTask>& dataTask) {
    auto download = std::make_shared<URLSessionDownloadTask>();
    uint64_t identifier;
    {
        std::lock_guard guard(lock_);
        identifier = nextIdentifier_++;
        tasks_.push_back(download);
    }
    download->setUp(ref<URLSession>(), identifier, dataTask->originalRequest());
    download->setCurrentRequest(dataTask->currentRequest());
    download->setResponse(dataTask->response());
    download->setRunning();
    download->setLoader(dataTask->currentLoader());
    dataTask->setLoader(nullptr);
    return download;
}

void URLSession::deliver(std::function<void()> event) {
    delivery_->post(std::move(event), transport_->isWorkerThread());
}

void URLSession::flushDeliveries() { delivery_->flush(); }

void URLSession::taskDidComplete(const URLSessionTask* task) {
    std::vector<std::function<void()>> after;
    {
        std::lock_guard guard(lock_);
        std::erase_if(tasks_, [task](const Ref<URLSessionTask>& t) { return t.get() == task; });
        invalidateIfDoneLocked(after);
    }
    for (auto& work : after) work();
}

void URLSession::invalidateIfDoneLocked(std::vector<std::function<void()>>& after) {
    if (!invalidating_ || invalidated_ || !tasks_.empty()) return;
    invalidated_ = true;
    auto self = ref<URLSession>();
    after.push_back([self] {
        self->deliver([self] {
            Ref<URLSessionDelegate> delegate = self->delegate();
            if (delegate) delegate->didBecomeInvalidWithError(self, nullptr);
            std::lock_guard guard(self->lock_);
            self->delegate_.reset();
        });
    });
}

void URLSession::finishTasksAndInvalidate() {
    if (shared_) return;
    std::vector<std::function<void()>> after;
    {
        std::lock_guard guard(lock_);
        invalidating_ = true;
        invalidateIfDoneLocked(after);
    }
    for (auto& work : after) work();
}

void URLSession::invalidateAndCancel() {
    if (shared_) return;
    std::vector<Ref<URLSessionTask>> tasks;
    {
        std::lock_guard guard(lock_);
        invalidating_ = true;
        tasks = tasks_;
    }
    // Tasks never resumed end here too, with a cancelled error.
    for (const auto& task : tasks) {
        if (auto loader = task->beginCanceling()) loader->cancel();
    }
    finishTasksAndInvalidate();
}

void URLSession::getTasksWithCompletionHandler(
    std::function<void(std::vector<Ref<URLSessionDataTask>>, std::vector<Ref<URLSessionUploadTask>>,
                       std::vector<Ref<URLSessionDownloadTask>>)>
        completion) {
    std::vector<Ref<URLSessionTask>> tasks;
    {
        std::lock_guard guard(lock_);
        tasks = tasks_;
    }
    deliver([tasks = std::move(tasks), completion = std::move(completion)] {
        std::vector<Ref<URLSessionDataTask>> data;
        std::vector<Ref<URLSessionUploadTask>> uploads;
        std::vector<Ref<URLSessionDownloadTask>> downloads;
        for (const auto& task : tasks) {
            if (auto upload = cast<URLSessionUploadTask>(task)) uploads.push_back(upload);
            else if (auto dataTask = cast<URLSessionDataTask>(task)) data.push_back(dataTask);
            else if (auto download = cast<URLSessionDownloadTask>(task)) downloads.push_back(download);
        }
        completion(std::move(data), std::move(uploads), std::move(downloads));
    });
}

void URLSession::getAllTasksWithCompletionHandler(std::function<void(std::vector<Ref<URLSessionTask>>)> completion) {
    std::vector<Ref<URLSessionTask>> tasks;
    {
        std::lock_guard guard(lock_);
        tasks = tasks_;
    }
    deliver([tasks = std::move(tasks), completion = std::move(completion)] { completion(tasks); });
}

std::string URLSession::description() const {
    return format("<%@: %p>", className(), static_cast<const void*>(this));
}

}  // namespace ns

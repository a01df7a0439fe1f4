#include "net/SDPURLSessionManager.h"

#include <algorithm>

#include "net/SDPJSONResponseSerializer.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/URLError.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(SDPURLSessionManager, ns::Object, "SDPURLSessionManager")

struct SDPURLSessionManager::Hooks {
    SessionDidBecomeInvalidBlock sessionDidBecomeInvalid;
    SessionDidReceiveAuthenticationChallengeBlock sessionDidReceiveAuthenticationChallenge;
    SessionDidFinishEventsForBackgroundURLSessionBlock didFinishEventsForBackgroundURLSession;
    TaskWillPerformHTTPRedirectionBlock taskWillPerformHTTPRedirection;
    TaskDidReceiveAuthenticationChallengeBlock taskDidReceiveAuthenticationChallenge;
    TaskNeedNewBodyStreamBlock taskNeedNewBodyStream;
    TaskDidSendBodyDataBlock taskDidSendBodyData;
    TaskDidCompleteBlock taskDidComplete;
    DataTaskDidReceiveResponseBlock dataTaskDidReceiveResponse;
    DataTaskDidBecomeDownloadTaskBlock dataTaskDidBecomeDownloadTask;
    DataTaskDidReceiveDataBlock dataTaskDidReceiveData;
    DataTaskWillCacheResponseBlock dataTaskWillCacheResponse;
    DownloadTaskDidFinishDownloadingBlock downloadTaskDidFinishDownloading;
    DownloadTaskDidWriteDataBlock downloadTaskDidWriteData;
    DownloadTaskDidResumeBlock downloadTaskDidResume;
};

namespace {

// The delegate methods whose hook decides for the session: with a hook set,
// its answer goes to the completion and the call is handled; without, the
// session's default applies.
template <class Hook, class Completion, class... Args>
bool answerThroughHook(const Hook& block, const Completion& completion, const Args&... args) {
    if (!block) return false;
    completion(block(args...));
    return true;
}

// The manager whose delegate call the thread is running: asking for tasks
// there must not wait for the very queue it is blocking.
thread_local const SDPURLSessionManager* delegateQueueOwner = nullptr;

class DelegateQueueScope {
public:
    explicit DelegateQueueScope(const SDPURLSessionManager* manager) : previous_(delegateQueueOwner) {
        delegateQueueOwner = manager;
    }
    ~DelegateQueueScope() { delegateQueueOwner = previous_; }
    DelegateQueueScope(const DelegateQueueScope&) = delete;
    DelegateQueueScope& operator=(const DelegateQueueScope&) = delete;

private:
    const SDPURLSessionManager* previous_;
};

const std::shared_ptr<dispatch::Group>& processCompletionGroup() {
    static const std::shared_ptr<dispatch::Group> group = dispatch::Group::create();
    return group;
}

// Every resume of a task that was not running and every suspend of one
// that was not suspended, in any session, is announced on the thread that
// did it; managers pick out their own tasks.
[[maybe_unused]] const uint64_t taskActivityAnnouncer =
    ns::URLSessionTask::addActivityHook([](ns::URLSessionTask& task, ns::URLSessionTask::Activity activity) {
        ns::NotificationCenter::defaultCenter()->postNotificationName(
            activity == ns::URLSessionTask::Activity::Resumed ? SDPNSURLSessionTaskDidResumeNotification
                                                               : SDPNSURLSessionTaskDidSuspendNotification,
            task.self());
    });

enum class TaskKind { Data, Upload, Download, All };

bool isKind(const ns::Ref<ns::URLSessionTask>& task, TaskKind kind) {
    switch (kind) {
    case TaskKind::Upload: return ns::cast<ns::URLSessionUploadTask>(task) != nullptr;
    case TaskKind::Data:
        return ns::cast<ns::URLSessionDataTask>(task) != nullptr && ns::cast<ns::URLSessionUploadTask>(task) == nullptr;
    case TaskKind::Download: return ns::cast<ns::URLSessionDownloadTask>(task) != nullptr;
    case TaskKind::All: return true;
    }
    return false;
}

}  // namespace

template <class F>
F SDPURLSessionManager::hook(F Hooks::*member) const {
    std::lock_guard guard(settingsLock_);
    return (*hooks_).*member;
}

ns::Ref<SDPURLSessionManager> SDPURLSessionManager::make(const ns::Ref<ns::URLSessionConfiguration>& configuration) {
    auto manager = std::make_shared<SDPURLSessionManager>();
    manager->initWithSessionConfiguration(configuration);
    return manager;
}

SDPURLSessionManager::SDPURLSessionManager() : hooks_(std::make_unique<Hooks>()) {}

SDPURLSessionManager::~SDPURLSessionManager() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

void SDPURLSessionManager::initWithSessionConfiguration(const ns::Ref<ns::URLSessionConfiguration>& configuration) {
    sessionConfiguration_ = configuration ? configuration : ns::URLSessionConfiguration::defaultSessionConfiguration();
    operationQueue_ = std::make_shared<ns::OperationQueue>();
    operationQueue_->setMaxConcurrentOperationCount(1);
    session_ = ns::URLSession::sessionWithConfiguration(sessionConfiguration_, ref<SDPURLSessionManager>(),
                                                        operationQueue_);
    {
        std::lock_guard guard(settingsLock_);
        responseSerializer_ = SDPJSONResponseSerializer::serializer();
        securityPolicy_ = SDPSecurityPolicy::defaultPolicy();
        reachabilityManager_ = SDPNetworkReachabilityManager::sharedManager();
    }
    taskDescription_ = ns::String::make(ns::format("%p", static_cast<const void*>(this)));

    // A session made from a background configuration may already carry
    // tasks; they get delegates without blocks so their completions are
    // still tracked.
    ns::Weak<SDPURLSessionManager> weakSelf = ref<SDPURLSessionManager>();
    session_->getTasksWithCompletionHandler([weakSelf](std::vector<ns::Ref<ns::URLSessionDataTask>> dataTasks,
                                                       std::vector<ns::Ref<ns::URLSessionUploadTask>> uploadTasks,
                                                       std::vector<ns::Ref<ns::URLSessionDownloadTask>> downloadTasks) {
        auto self = weakSelf.lock();
        if (!self) return;
        DelegateQueueScope scope(self.get());
        for (const auto& task : dataTasks) self->addDelegateForDataTask(task, nullptr, nullptr, nullptr);
        for (const auto& task : uploadTasks) self->addDelegateForUploadTask(task, nullptr, nullptr);
        for (const auto& task : downloadTasks) self->addDelegateForDownloadTask(task, nullptr, nullptr, nullptr);
    });
}

// ---- Settings ----

ns::Id SDPURLSessionManager::responseSerializer() const {
    std::lock_guard guard(settingsLock_);
    return responseSerializer_;
}

void SDPURLSessionManager::setResponseSerializer(const ns::Id& serializer) {
    if (serializer && !dynamic_cast<SDPURLResponseSerialization*>(serializer.get())) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "-[SDPURLSessionManager setResponseSerializer:]: the object does not serialize responses");
    }
    std::lock_guard guard(settingsLock_);
    responseSerializer_ = serializer;
}

ns::Ref<SDPSecurityPolicy> SDPURLSessionManager::securityPolicy() const {
    std::lock_guard guard(settingsLock_);
    return securityPolicy_;
}

void SDPURLSessionManager::setSecurityPolicy(ns::Ref<SDPSecurityPolicy> policy) {
    std::lock_guard guard(settingsLock_);
    securityPolicy_ = std::move(policy);
}

ns::Ref<SDPNetworkReachabilityManager> SDPURLSessionManager::reachabilityManager() const {
    std::lock_guard guard(settingsLock_);
    return reachabilityManager_;
}

void SDPURLSessionManager::setReachabilityManager(ns::Ref<SDPNetworkReachabilityManager> manager) {
    std::lock_guard guard(settingsLock_);
    reachabilityManager_ = std::move(manager);
}

dispatch::QueueRef SDPURLSessionManager::completionQueue() const {
    std::lock_guard guard(settingsLock_);
    return completionQueue_;
}

void SDPURLSessionManager::setCompletionQueue(dispatch::QueueRef queue) {
    std::lock_guard guard(settingsLock_);
    completionQueue_ = std::move(queue);
}

std::shared_ptr<dispatch::Group> SDPURLSessionManager::completionGroup() const {
    std::lock_guard guard(settingsLock_);
    return completionGroup_;
}

void SDPURLSessionManager::setCompletionGroup(std::shared_ptr<dispatch::Group> group) {
    std::lock_guard guard(settingsLock_);
    completionGroup_ = std::move(group);
}

bool SDPURLSessionManager::attemptsToRecreateUploadTasksForBackgroundSessions() const {
    std::lock_guard guard(settingsLock_);
    return attemptsToRecreateUploadTasks_;
}

void SDPURLSessionManager::setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts) {
    std::lock_guard guard(settingsLock_);
    attemptsToRecreateUploadTasks_ = attempts;
}

dispatch::QueueRef SDPURLSessionManager::effectiveCompletionQueue() const {
    auto queue = completionQueue();
    return queue ? queue : dispatch::mainQueue();
}

std::shared_ptr<dispatch::Group> SDPURLSessionManager::effectiveCompletionGroup() const {
    auto group = completionGroup();
    return group ? group : processCompletionGroup();
}

ns::Id SDPURLSessionManager::serializeResponse(const ns::Id& serializer, const ns::Ref<ns::URLResponse>& response,
                                               const ns::Ref<ns::Data>& data, ns::Ref<ns::Error>* error) const {
    auto* serialization = dynamic_cast<SDPURLResponseSerialization*>(serializer.get());
    return serialization ? serialization->responseObjectForResponse(response, data, error) : nullptr;
}

// ---- Making tasks ----

void SDPURLSessionManager::failWithoutTask(const CompletionHandler& completionHandler, ns::Ref<ns::Error> error) const {
    effectiveCompletionGroup()->async(effectiveCompletionQueue(), [completionHandler, error] {
        if (completionHandler) completionHandler(nullptr, nullptr, error);
    });
}

ns::Ref<ns::URLSessionDataTask> SDPURLSessionManager::dataTaskWithRequest(const ns::Ref<ns::URLRequest>& request,
                                                                          CompletionHandler completionHandler) {
    return dataTaskWithRequest(request, nullptr, nullptr, std::move(completionHandler));
}

ns::Ref<ns::URLSessionDataTask> SDPURLSessionManager::dataTaskWithRequest(const ns::Ref<ns::URLRequest>& request,
                                                                          ProgressBlock uploadProgress,
                                                                          ProgressBlock downloadProgress,
                                                                          CompletionHandler completionHandler) {
    if (!request || !request->URL()) {
        failWithoutTask(completionHandler, ns::makeURLError(ns::URLErrorBadURL, nullptr));
        return nullptr;
    }
    auto task = session_->dataTaskWithRequest(request);
    addDelegateForDataTask(task, std::move(uploadProgress), std::move(downloadProgress), std::move(completionHandler));
    return task;
}

ns::Ref<ns::URLSessionUploadTask> SDPURLSessionManager::uploadTaskWithRequestFromFile(
    const ns::Ref<ns::URLRequest>& request, const ns::Ref<ns::URL>& fileURL, ProgressBlock uploadProgress,
    CompletionHandler completionHandler) {
    if (!request || !request->URL()) {
        failWithoutTask(completionHandler, ns::makeURLError(ns::URLErrorBadURL, nullptr));
        return nullptr;
    }
    // Only a local file can be streamed from; anything else gives no task.
    auto makeTask = [&]() -> ns::Ref<ns::URLSessionUploadTask> {
        if (!fileURL || !fileURL->isFileURL()) return nullptr;
        return session_->uploadTaskWithRequestFromFile(request, fileURL);
    };
    auto task = makeTask();
    if (!task && attemptsToRecreateUploadTasksForBackgroundSessions() && sessionConfiguration_->identifier()) {
        for (int attempt = 0; attempt < 3 && !task; ++attempt) task = makeTask();
    }
    if (!task) {
        failWithoutTask(completionHandler, ns::makeURLError(ns::URLErrorUnsupportedURL, fileURL));
        return nullptr;
    }
    addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

ns::Ref<ns::URLSessionUploadTask> SDPURLSessionManager::uploadTaskWithRequestFromData(
    const ns::Ref<ns::URLRequest>& request, const ns::Ref<ns::Data>& bodyData, ProgressBlock uploadProgress,
    CompletionHandler completionHandler) {
    if (!request || !request->URL()) {
        failWithoutTask(completionHandler, ns::makeURLError(ns::URLErrorBadURL, nullptr));
        return nullptr;
    }
    auto task = session_->uploadTaskWithRequestFromData(request, bodyData);
    addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

ns::Ref<ns::URLSessionUploadTask> SDPURLSessionManager::uploadTaskWithStreamedRequest(
    const ns::Ref<ns::URLRequest>& request, ProgressBlock uploadProgress, CompletionHandler completionHandler) {
    if (!request || !request->URL()) {
        failWithoutTask(completionHandler, ns::makeURLError(ns::URLErrorBadURL, nullptr));
        return nullptr;
    }
    auto task = session_->uploadTaskWithStreamedRequest(request);
    addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

ns::Ref<ns::URLSessionDownloadTask> SDPURLSessionManager::downloadTaskWithRequest(
    const ns::Ref<ns::URLRequest>& request, ProgressBlock downloadProgress, DestinationBlock destination,
    CompletionHandler completionHandler) {
    if (!request || !request->URL()) {
        failWithoutTask(completionHandler, ns::makeURLError(ns::URLErrorBadURL, nullptr));
        return nullptr;
    }
    auto task = session_->downloadTaskWithRequest(request);
    addDelegateForDownloadTask(task, std::move(downloadProgress), std::move(destination), std::move(completionHandler));
    return task;
}

ns::Ref<ns::URLSessionDownloadTask> SDPURLSessionManager::downloadTaskWithResumeData(const ns::Ref<ns::Data>& resumeData,
                                                                                      ProgressBlock downloadProgress,
                                                                                      DestinationBlock destination,
                                                                                      CompletionHandler completionHandler) {
    auto task = session_->downloadTaskWithResumeData(resumeData);
    addDelegateForDownloadTask(task, std::move(downloadProgress), std::move(destination), std::move(completionHandler));
    return task;
}

// ---- Task delegates ----

void SDPURLSessionManager::addDelegateForDataTask(const ns::Ref<ns::URLSessionDataTask>& task,
                                                  ProgressBlock uploadProgress, ProgressBlock downloadProgress,
                                                  CompletionHandler completionHandler) {
    auto delegate = std::make_shared<SDPURLSessionManagerTaskDelegate>();
    delegate->manager = ref<SDPURLSessionManager>();
    delegate->completionHandler = std::move(completionHandler);
    task->setTaskDescription(taskDescription_);
    setDelegateForTask(delegate, task);
    delegate->uploadProgressBlock = std::move(uploadProgress);
    delegate->downloadProgressBlock = std::move(downloadProgress);
    delegate->followProgressBlocks();
}

void SDPURLSessionManager::addDelegateForUploadTask(const ns::Ref<ns::URLSessionUploadTask>& task,
                                                    ProgressBlock uploadProgress, CompletionHandler completionHandler) {
    auto delegate = std::make_shared<SDPURLSessionManagerTaskDelegate>();
    delegate->manager = ref<SDPURLSessionManager>();
    delegate->completionHandler = std::move(completionHandler);
    task->setTaskDescription(taskDescription_);
    setDelegateForTask(delegate, task);
    delegate->uploadProgressBlock = std::move(uploadProgress);
    delegate->followProgressBlocks();
}

void SDPURLSessionManager::addDelegateForDownloadTask(const ns::Ref<ns::URLSessionDownloadTask>& task,
                                                      ProgressBlock downloadProgress, DestinationBlock destination,
                                                      CompletionHandler completionHandler) {
    auto delegate = std::make_shared<SDPURLSessionManagerTaskDelegate>();
    delegate->manager = ref<SDPURLSessionManager>();
    delegate->completionHandler = std::move(completionHandler);
    if (destination) {
        delegate->downloadTaskDidFinishDownloading =
            [destination](const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDownloadTask>& downloadTask,
                          const ns::Ref<ns::URL>& location) { return destination(location, downloadTask->response()); };
    }
    task->setTaskDescription(taskDescription_);
    setDelegateForTask(delegate, task);
    delegate->downloadProgressBlock = std::move(downloadProgress);
    delegate->followProgressBlocks();
}

ns::Ref<SDPURLSessionManagerTaskDelegate> SDPURLSessionManager::delegateForTask(const ns::URLSessionTask& task) const {
    std::lock_guard guard(lock_);
    auto found = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task.taskIdentifier());
    if (found == mutableTaskDelegatesKeyedByTaskIdentifier_.end()) return nullptr;
    // Identifiers are unique only within a session: a task of another
    // session may carry the same number.
    return found->second->task().get() == &task ? found->second : nullptr;
}

void SDPURLSessionManager::setDelegateForTask(const ns::Ref<SDPURLSessionManagerTaskDelegate>& delegate,
                                              const ns::Ref<ns::URLSessionTask>& task) {
    observeTaskActivity();
    std::lock_guard guard(lock_);
    mutableTaskDelegatesKeyedByTaskIdentifier_[task->taskIdentifier()] = delegate;
    delegate->setupProgressForTask(task);
}

void SDPURLSessionManager::removeDelegateForTask(const ns::Ref<ns::URLSessionTask>& task) {
    auto delegate = delegateForTask(*task);
    std::lock_guard guard(lock_);
    if (delegate) delegate->cleanUpProgressForTask(task);
    mutableTaskDelegatesKeyedByTaskIdentifier_.erase(task->taskIdentifier());
}

void SDPURLSessionManager::observeTaskActivity() {
    // One registration for all of this manager's tasks, made with the first
    // of them; the object filter is taskDidChangeActivity's.
    std::call_once(activityObserved_, [this] {
        const auto& center = ns::NotificationCenter::defaultCenter();
        ns::Weak<SDPURLSessionManager> weakSelf = ref<SDPURLSessionManager>();
        center->addObserver(this, SDPNSURLSessionTaskDidResumeNotification, nullptr,
                            [weakSelf](const ns::Ref<ns::Notification>& notification) {
                                if (auto self = weakSelf.lock())
                                    self->taskDidChangeActivity(notification->object(), SDPNetworkingTaskDidResumeNotification);
                            });
        center->addObserver(this, SDPNSURLSessionTaskDidSuspendNotification, nullptr,
                            [weakSelf](const ns::Ref<ns::Notification>& notification) {
                                if (auto self = weakSelf.lock())
                                    self->taskDidChangeActivity(notification->object(), SDPNetworkingTaskDidSuspendNotification);
                            });
    });
}

void SDPURLSessionManager::taskDidChangeActivity(const ns::Id& object, const char* notificationName) const {
    auto task = ns::cast<ns::URLSessionTask>(object);
    if (!task) return;
    auto description = task->taskDescription();
    if (!description || !description->isEqual(taskDescription_.get())) return;
    // Only while the task is this manager's: not before it was set up nor
    // after it completed.
    if (!delegateForTask(*task)) return;
    std::string name = notificationName;
    dispatch::mainQueue()->async([name, task] {
        ns::NotificationCenter::defaultCenter()->postNotificationName(name, task);
    });
}

ns::Ref<ns::Progress> SDPURLSessionManager::uploadProgressForTask(const ns::Ref<ns::URLSessionTask>& task) const {
    auto delegate = task ? delegateForTask(*task) : nullptr;
    return delegate ? delegate->uploadProgress() : nullptr;
}

ns::Ref<ns::Progress> SDPURLSessionManager::downloadProgressForTask(const ns::Ref<ns::URLSessionTask>& task) const {
    auto delegate = task ? delegateForTask(*task) : nullptr;
    return delegate ? delegate->downloadProgress() : nullptr;
}

// ---- Tasks in flight ----

std::vector<ns::Ref<ns::URLSessionTask>> SDPURLSessionManager::recordedTasks() const {
    std::vector<std::pair<uint64_t, ns::Ref<ns::URLSessionTask>>> byIdentifier;
    {
        std::lock_guard guard(lock_);
        for (const auto& [identifier, delegate] : mutableTaskDelegatesKeyedByTaskIdentifier_) {
            if (auto task = delegate->task()) byIdentifier.emplace_back(identifier, std::move(task));
        }
    }
    std::sort(byIdentifier.begin(), byIdentifier.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ns::Ref<ns::URLSessionTask>> tasks;
    for (auto& entry : byIdentifier) tasks.push_back(std::move(entry.second));
    return tasks;
}

std::vector<ns::Ref<ns::URLSessionTask>> SDPURLSessionManager::tasksOfKind(int kindValue) const {
    const auto kind = static_cast<TaskKind>(kindValue);
    std::vector<ns::Ref<ns::URLSessionTask>> result;
    if (delegateQueueOwner == this) {
        for (auto& task : recordedTasks()) {
            if (isKind(task, kind)) result.push_back(std::move(task));
        }
        return result;
    }

    struct Answer {
        std::mutex lock;
        std::vector<ns::Ref<ns::URLSessionTask>> tasks;
    };
    auto answer = std::make_shared<Answer>();
    auto semaphore = dispatch::Semaphore::create(0);
    session_->getTasksWithCompletionHandler([answer, semaphore, kind](std::vector<ns::Ref<ns::URLSessionDataTask>> data,
                                                                      std::vector<ns::Ref<ns::URLSessionUploadTask>> uploads,
                                                                      std::vector<ns::Ref<ns::URLSessionDownloadTask>> downloads) {
        std::lock_guard guard(answer->lock);
        if (kind == TaskKind::Data || kind == TaskKind::All) answer->tasks.insert(answer->tasks.end(), data.begin(), data.end());
        if (kind == TaskKind::Upload || kind == TaskKind::All)
            answer->tasks.insert(answer->tasks.end(), uploads.begin(), uploads.end());
        if (kind == TaskKind::Download || kind == TaskKind::All)
            answer->tasks.insert(answer->tasks.end(), downloads.begin(), downloads.end());
        semaphore->signal();
    });
    semaphore->wait();
    std::lock_guard guard(answer->lock);
    return answer->tasks;
}

std::vector<ns::Ref<ns::URLSessionTask>> SDPURLSessionManager::tasks() const {
    return tasksOfKind(static_cast<int>(TaskKind::All));
}

std::vector<ns::Ref<ns::URLSessionTask>> SDPURLSessionManager::dataTasks() const {
    return tasksOfKind(static_cast<int>(TaskKind::Data));
}

std::vector<ns::Ref<ns::URLSessionTask>> SDPURLSessionManager::uploadTasks() const {
    return tasksOfKind(static_cast<int>(TaskKind::Upload));
}

std::vector<ns::Ref<ns::URLSessionTask>> SDPURLSessionManager::downloadTasks() const {
    return tasksOfKind(static_cast<int>(TaskKind::Download));
}

void SDPURLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks) {
    auto session = session_;
    dispatch::mainQueue()->async([session, cancelPendingTasks] {
        if (cancelPendingTasks) session->invalidateAndCancel();
        else session->finishTasksAndInvalidate();
    });
}

bool SDPURLSessionManager::respondsToSelector(std::string_view selector) const {
    if (selector == "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:")
        return hook(&Hooks::taskWillPerformHTTPRedirection) != nullptr;
    if (selector == "URLSession:dataTask:didReceiveResponse:completionHandler:")
        return hook(&Hooks::dataTaskDidReceiveResponse) != nullptr;
    if (selector == "URLSession:dataTask:willCacheResponse:completionHandler:")
        return hook(&Hooks::dataTaskWillCacheResponse) != nullptr;
    if (selector == "URLSessionDidFinishEventsForBackgroundURLSession:")
        return hook(&Hooks::didFinishEventsForBackgroundURLSession) != nullptr;
    static const std::string_view implemented[] = {
        "URLSession:didBecomeInvalidWithError:",
        "URLSession:didReceiveChallenge:completionHandler:",
        "URLSession:task:didReceiveChallenge:completionHandler:",
        "URLSession:task:needNewBodyStream:",
        "URLSession:task:didSendBodyData:totalBytesSent:totalBytesExpectedToSend:",
        "URLSession:task:didCompleteWithError:",
        "URLSession:dataTask:didBecomeDownloadTask:",
        "URLSession:dataTask:didReceiveData:",
        "URLSession:downloadTask:didFinishDownloadingToURL:",
        "URLSession:downloadTask:didWriteData:totalBytesWritten:totalBytesExpectedToWrite:",
        "URLSession:downloadTask:didResumeAtOffset:expectedTotalBytes:",
    };
    for (std::string_view known : implemented) {
        if (selector == known) return true;
    }
    return false;
}

// ---- Hook setters ----

#define SDP_HOOK_SETTER(Setter, member, Type)                 \
    void SDPURLSessionManager::Setter(Type block) {          \
        std::lock_guard guard(settingsLock_);                \
        hooks_->member = std::move(block);                   \
    }

SDP_HOOK_SETTER(setSessionDidBecomeInvalidBlock, sessionDidBecomeInvalid, SessionDidBecomeInvalidBlock)
SDP_HOOK_SETTER(setSessionDidReceiveAuthenticationChallengeBlock, sessionDidReceiveAuthenticationChallenge,
                SessionDidReceiveAuthenticationChallengeBlock)
SDP_HOOK_SETTER(setDidFinishEventsForBackgroundURLSessionBlock, didFinishEventsForBackgroundURLSession,
                SessionDidFinishEventsForBackgroundURLSessionBlock)
SDP_HOOK_SETTER(setTaskWillPerformHTTPRedirectionBlock, taskWillPerformHTTPRedirection,
                TaskWillPerformHTTPRedirectionBlock)
SDP_HOOK_SETTER(setTaskDidReceiveAuthenticationChallengeBlock, taskDidReceiveAuthenticationChallenge,
                TaskDidReceiveAuthenticationChallengeBlock)
SDP_HOOK_SETTER(setTaskNeedNewBodyStreamBlock, taskNeedNewBodyStream, TaskNeedNewBodyStreamBlock)
SDP_HOOK_SETTER(setTaskDidSendBodyDataBlock, taskDidSendBodyData, TaskDidSendBodyDataBlock)
SDP_HOOK_SETTER(setTaskDidCompleteBlock, taskDidComplete, TaskDidCompleteBlock)
SDP_HOOK_SETTER(setDataTaskDidReceiveResponseBlock, dataTaskDidReceiveResponse, DataTaskDidReceiveResponseBlock)
SDP_HOOK_SETTER(setDataTaskDidBecomeDownloadTaskBlock, dataTaskDidBecomeDownloadTask,
                DataTaskDidBecomeDownloadTaskBlock)
SDP_HOOK_SETTER(setDataTaskDidReceiveDataBlock, dataTaskDidReceiveData, DataTaskDidReceiveDataBlock)
SDP_HOOK_SETTER(setDataTaskWillCacheResponseBlock, dataTaskWillCacheResponse, DataTaskWillCacheResponseBlock)
SDP_HOOK_SETTER(setDownloadTaskDidFinishDownloadingBlock, downloadTaskDidFinishDownloading,
                DownloadTaskDidFinishDownloadingBlock)
SDP_HOOK_SETTER(setDownloadTaskDidWriteDataBlock, downloadTaskDidWriteData, DownloadTaskDidWriteDataBlock)
SDP_HOOK_SETTER(setDownloadTaskDidResumeBlock, downloadTaskDidResume, DownloadTaskDidResumeBlock)

#undef SDP_HOOK_SETTER

// ---- Session delegate ----

void SDPURLSessionManager::didBecomeInvalidWithError(const ns::Ref<ns::URLSession>& session,
                                                     const ns::Ref<ns::Error>& error) {
    DelegateQueueScope scope(this);
    if (auto block = hook(&Hooks::sessionDidBecomeInvalid)) block(session, error);
    ns::NotificationCenter::defaultCenter()->postNotificationName(SDPURLSessionDidInvalidateNotification, session);
}

void SDPURLSessionManager::answerChallenge(const ns::Ref<ns::URLAuthenticationChallenge>& challenge, bool taskLevel,
                                           ns::URLSessionAuthChallengeDisposition* disposition,
                                           ns::Ref<ns::URLCredential>* credential) const {
    const auto& space = challenge->protectionSpace();
    if (!space || space->authenticationMethod() != ns::URLAuthenticationMethodServerTrust) {
        *disposition = ns::URLSessionAuthChallengeDisposition::PerformDefaultHandling;
        return;
    }
    const sec::TrustRef& trust = space->serverTrust();
    // The configuration's extra anchors stand for certificate authorities
    // installed on the device, which every evaluation there honours.
    if (trust && !sessionConfiguration_->additionalTrustAnchors().empty()) {
        trust->setAnchorCertificates(sessionConfiguration_->additionalTrustAnchors());
        trust->setAnchorCertificatesOnly(false);
    }
    auto policy = securityPolicy();
    if (policy && policy->evaluateServerTrust(trust, ns::String::make(space->host()))) {
        *credential = ns::URLCredential::credentialForTrust(trust);
        *disposition = taskLevel || *credential ? ns::URLSessionAuthChallengeDisposition::UseCredential
                                                : ns::URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    } else {
        *disposition = ns::URLSessionAuthChallengeDisposition::RejectProtectionSpace;
    }
}

bool SDPURLSessionManager::didReceiveChallenge(const ns::Ref<ns::URLSession>& session,
                                               const ns::Ref<ns::URLAuthenticationChallenge>& challenge,
                                               const ns::URLSessionChallengeCompletion& completion) {
    DelegateQueueScope scope(this);
    auto disposition = ns::URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    ns::Ref<ns::URLCredential> credential;
    if (auto block = hook(&Hooks::sessionDidReceiveAuthenticationChallenge)) {
        disposition = block(session, challenge, &credential);
    } else {
        answerChallenge(challenge, false, &disposition, &credential);
    }
    completion(disposition, credential);
    return true;
}

bool SDPURLSessionManager::taskDidReceiveChallenge(const ns::Ref<ns::URLSession>& session,
                                                   const ns::Ref<ns::URLSessionTask>& task,
                                                   const ns::Ref<ns::URLAuthenticationChallenge>& challenge,
                                                   const ns::URLSessionChallengeCompletion& completion) {
    DelegateQueueScope scope(this);
    auto disposition = ns::URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    ns::Ref<ns::URLCredential> credential;
    if (auto block = hook(&Hooks::taskDidReceiveAuthenticationChallenge)) {
        disposition = block(session, task, challenge, &credential);
    } else {
        answerChallenge(challenge, true, &disposition, &credential);
    }
    completion(disposition, credential);
    return true;
}

bool SDPURLSessionManager::willPerformHTTPRedirection(const ns::Ref<ns::URLSession>& session,
                                                      const ns::Ref<ns::URLSessionTask>& task,
                                                      const ns::Ref<ns::HTTPURLResponse>& response,
                                                      const ns::Ref<ns::URLRequest>& newRequest,
                                                      const std::function<void(ns::Ref<ns::URLRequest>)>& completion) {
    DelegateQueueScope scope(this);
    return answerThroughHook(hook(&Hooks::taskWillPerformHTTPRedirection), completion, session, task, response,
                             newRequest);
}

bool SDPURLSessionManager::needNewBodyStream(const ns::Ref<ns::URLSession>& session,
                                             const ns::Ref<ns::URLSessionTask>& task,
                                             const std::function<void(ns::Ref<ns::InputStream>)>& completion) {
    DelegateQueueScope scope(this);
    ns::Ref<ns::InputStream> stream;
    if (auto block = hook(&Hooks::taskNeedNewBodyStream)) {
        stream = block(session, task);
    } else if (const auto& original = task->originalRequest(); original && original->HTTPBodyStream()) {
        // Only a stream that can be copied can be sent again from its start.
        try {
            stream = ns::cast<ns::InputStream>(original->HTTPBodyStream()->copy());
        } catch (const ns::Exception&) {
            stream = nullptr;
        }
    }
    completion(stream);
    return true;
}

void SDPURLSessionManager::didSendBodyData(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionTask>& task,
                                           int64_t bytesSent, int64_t totalBytesSent, int64_t totalBytesExpectedToSend) {
    DelegateQueueScope scope(this);
    int64_t expected = totalBytesExpectedToSend;
    if (expected == ns::URLSessionTransferSizeUnknown && task->originalRequest()) {
        if (auto length = task->originalRequest()->valueForHTTPHeaderField("Content-Length")) {
            expected = length->longLongValue();
        }
    }
    if (auto block = hook(&Hooks::taskDidSendBodyData)) block(session, task, bytesSent, totalBytesSent, expected);
}

void SDPURLSessionManager::didCompleteWithError(const ns::Ref<ns::URLSession>& session,
                                                const ns::Ref<ns::URLSessionTask>& task, const ns::Ref<ns::Error>& error) {
    DelegateQueueScope scope(this);
    if (auto delegate = delegateForTask(*task)) {
        delegate->didCompleteWithError(session, task, error);
        removeDelegateForTask(task);
    }
    if (auto block = hook(&Hooks::taskDidComplete)) block(session, task, error);
}

bool SDPURLSessionManager::didReceiveResponse(const ns::Ref<ns::URLSession>& session,
                                              const ns::Ref<ns::URLSessionDataTask>& dataTask,
                                              const ns::Ref<ns::URLResponse>& response,
                                              const std::function<void(ns::URLSessionResponseDisposition)>& completion) {
    DelegateQueueScope scope(this);
    return answerThroughHook(hook(&Hooks::dataTaskDidReceiveResponse), completion, session, dataTask, response);
}

void SDPURLSessionManager::didBecomeDownloadTask(const ns::Ref<ns::URLSession>& session,
                                                 const ns::Ref<ns::URLSessionDataTask>& dataTask,
                                                 const ns::Ref<ns::URLSessionDownloadTask>& downloadTask) {
    DelegateQueueScope scope(this);
    if (auto delegate = delegateForTask(*dataTask)) {
        removeDelegateForTask(dataTask);
        setDelegateForTask(delegate, downloadTask);
    }
    if (auto block = hook(&Hooks::dataTaskDidBecomeDownloadTask)) block(session, dataTask, downloadTask);
}

void SDPURLSessionManager::didReceiveData(const ns::Ref<ns::URLSession>& session,
                                          const ns::Ref<ns::URLSessionDataTask>& dataTask, const ns::Ref<ns::Data>& data) {
    DelegateQueueScope scope(this);
    if (auto delegate = delegateForTask(*dataTask)) delegate->didReceiveData(session, dataTask, data);
    if (auto block = hook(&Hooks::dataTaskDidReceiveData)) block(session, dataTask, data);
}

bool SDPURLSessionManager::willCacheResponse(const ns::Ref<ns::URLSession>& session,
                                             const ns::Ref<ns::URLSessionDataTask>& dataTask,
                                             const ns::Ref<ns::CachedURLResponse>& proposedResponse,
                                             const std::function<void(ns::Ref<ns::CachedURLResponse>)>& completion) {
    DelegateQueueScope scope(this);
    return answerThroughHook(hook(&Hooks::dataTaskWillCacheResponse), completion, session, dataTask,
                             proposedResponse);
}

void SDPURLSessionManager::didFinishDownloadingToURL(const ns::Ref<ns::URLSession>& session,
                                                     const ns::Ref<ns::URLSessionDownloadTask>& task,
                                                     const ns::Ref<ns::URL>& location) {
    DelegateQueueScope scope(this);
    auto delegate = delegateForTask(*task);
    if (auto block = hook(&Hooks::downloadTaskDidFinishDownloading)) {
        if (auto fileURL = block(session, task, location)) {
            if (delegate) delegate->downloadFileURL = fileURL;
            SDPURLSessionManagerTaskDelegate::moveDownloadedFile(location, fileURL, task);
            return;
        }
    }
    if (delegate) delegate->didFinishDownloadingToURL(session, task, location);
}

void SDPURLSessionManager::didWriteData(const ns::Ref<ns::URLSession>& session,
                                        const ns::Ref<ns::URLSessionDownloadTask>& task, int64_t bytesWritten,
                                        int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite) {
    DelegateQueueScope scope(this);
    if (auto block = hook(&Hooks::downloadTaskDidWriteData))
        block(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
}

void SDPURLSessionManager::didResumeAtOffset(const ns::Ref<ns::URLSession>& session,
                                             const ns::Ref<ns::URLSessionDownloadTask>& task, int64_t fileOffset,
                                             int64_t expectedTotalBytes) {
    DelegateQueueScope scope(this);
    if (auto block = hook(&Hooks::downloadTaskDidResume)) block(session, task, fileOffset, expectedTotalBytes);
}

// ---- Archiving, copying, description ----

void SDPURLSessionManager::encodeWithCoder(ns::KeyedArchiver& coder) const {
    auto configuration = session_ ? session_->configuration() : sessionConfiguration_;
    // Only a configuration that archives itself can travel.
    if (dynamic_cast<const ns::Coding*>(configuration.get())) coder.encodeObject(configuration, "sessionConfiguration");
}

bool SDPURLSessionManager::initWithCoder(ns::KeyedUnarchiver& coder) {
    initWithSessionConfiguration(coder.decodeObjectOfClass<ns::URLSessionConfiguration>("sessionConfiguration"));
    return true;
}

ns::Id SDPURLSessionManager::copy() const {
    auto manager = ns::cast<SDPURLSessionManager>(classObject()->create());
    manager->initWithSessionConfiguration(session_->configuration());
    return manager;
}

std::string SDPURLSessionManager::description() const {
    return ns::format("<%@: %p, session: %@, operationQueue: %@>", className(), static_cast<const void*>(this), session_,
                      operationQueue_);
}

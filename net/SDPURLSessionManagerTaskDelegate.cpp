#include "net/SDPURLSessionManagerTaskDelegate.h"

#include "net/SDPURLSessionManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"

RT_DEFINE_CLASS(SDPURLSessionManagerTaskDelegate, ns::Object, "SDPURLSessionManagerTaskDelegate")

namespace {

// Serializers may be slow (images, large JSON): they run here, several at a
// time, so the delegate queue keeps delivering.
const dispatch::QueueRef& processingQueue() {
    static const dispatch::QueueRef queue = dispatch::Queue::concurrent("com.sdpkit.networking.session.manager.processing");
    return queue;
}

const char* const taskCountKeyPaths[] = {"countOfBytesReceived", "countOfBytesExpectedToReceive", "countOfBytesSent",
                                         "countOfBytesExpectedToSend"};

}  // namespace

bool SDPURLSessionManagerTaskDelegate::moveDownloadedFile(const ns::Ref<ns::URL>& location,
                                                          const ns::Ref<ns::URL>& destination,
                                                          const ns::Ref<ns::URLSessionDownloadTask>& downloadTask) {
    ns::Ref<ns::Error> error;
    const std::string from = location && location->path() ? location->path()->utf8() : std::string();
    const std::string to = destination && destination->path() ? destination->path()->utf8() : std::string();
    if (ns::FileManager::defaultManager()->moveItemAtPath(from, to, &error)) return true;
    ns::NotificationCenter::defaultCenter()->postNotificationName(SDPURLSessionDownloadTaskDidFailToMoveFileNotification,
                                                                  downloadTask, error ? error->userInfo() : nullptr);
    return false;
}

SDPURLSessionManagerTaskDelegate::SDPURLSessionManagerTaskDelegate()
    : mutableData(ns::MutableData::make()),
      uploadProgress(ns::Progress::progressWithTotalUnitCount(ns::URLSessionTransferSizeUnknown)),
      downloadProgress(ns::Progress::progressWithTotalUnitCount(ns::URLSessionTransferSizeUnknown)) {}

SDPURLSessionManagerTaskDelegate::~SDPURLSessionManagerTaskDelegate() {
    // A delegate dropped without clean-up (its manager went away first)
    // must not leave callbacks pointing at it.
    if (auto task = task_.lock()) {
        for (uint64_t token : taskObservations_) task->removeObserver(token);
    }
    for (auto& [progress, token] : progressObservations_) progress->removeObserver(token);
}

void SDPURLSessionManagerTaskDelegate::setupProgressForTask(const ns::Ref<ns::URLSessionTask>& task) {
    task_ = task;
    uploadProgress->setTotalUnitCount(task->countOfBytesExpectedToSend());
    downloadProgress->setTotalUnitCount(task->countOfBytesExpectedToReceive());

    ns::Weak<ns::URLSessionTask> weakTask = task;
    for (const auto& progress : {uploadProgress, downloadProgress}) {
        progress->setCancellable(true);
        progress->setCancellationHandler([weakTask] {
            if (auto t = weakTask.lock()) t->cancel();
        });
        progress->setPausable(true);
        progress->setPausingHandler([weakTask] {
            if (auto t = weakTask.lock()) t->suspend();
        });
        progress->setResumingHandler([weakTask] {
            if (auto t = weakTask.lock()) t->resume();
        });
    }

    ns::Weak<SDPURLSessionManagerTaskDelegate> weakSelf = ref<SDPURLSessionManagerTaskDelegate>();
    for (const char* keyPath : taskCountKeyPaths) {
        taskObservations_.push_back(
            task->addObserver(keyPath, [weakSelf](ns::URLSessionTask&, const std::string& path, int64_t value) {
                if (auto self = weakSelf.lock()) self->taskCountChanged(path, value);
            }));
    }
    for (const auto& progress : {downloadProgress, uploadProgress}) {
        progressObservations_.emplace_back(progress, progress->addObserver("fractionCompleted", [weakSelf](ns::Progress& p) {
            if (auto self = weakSelf.lock()) self->progressChanged(p);
        }));
    }
}

void SDPURLSessionManagerTaskDelegate::cleanUpProgressForTask(const ns::Ref<ns::URLSessionTask>& task) {
    for (uint64_t token : taskObservations_) task->removeObserver(token);
    taskObservations_.clear();
    for (auto& [progress, token] : progressObservations_) progress->removeObserver(token);
    progressObservations_.clear();
}

void SDPURLSessionManagerTaskDelegate::taskCountChanged(const std::string& keyPath, int64_t newValue) {
    if (keyPath == "countOfBytesReceived") downloadProgress->setCompletedUnitCount(newValue);
    else if (keyPath == "countOfBytesExpectedToReceive") downloadProgress->setTotalUnitCount(newValue);
    else if (keyPath == "countOfBytesSent") uploadProgress->setCompletedUnitCount(newValue);
    else if (keyPath == "countOfBytesExpectedToSend") uploadProgress->setTotalUnitCount(newValue);
}

void SDPURLSessionManagerTaskDelegate::progressChanged(const ns::Progress& progress) {
    if (&progress == downloadProgress.get()) {
        if (downloadProgressBlock) downloadProgressBlock(downloadProgress);
    } else if (&progress == uploadProgress.get()) {
        if (uploadProgressBlock) uploadProgressBlock(uploadProgress);
    }
}

void SDPURLSessionManagerTaskDelegate::didCompleteWithError(const ns::Ref<ns::URLSession>&,
                                                            const ns::Ref<ns::URLSessionTask>& task,
                                                            const ns::Ref<ns::Error>& error) {
    auto strongManager = manager.lock();
    if (!strongManager) return;

    auto userInfo = ns::MutableDictionary::make();
    const ns::Id serializer = strongManager->responseSerializer();
    if (serializer) userInfo->setObjectForKey(serializer, SDPNetworkingTaskDidCompleteResponseSerializerKey);

    // An empty buffer exists from creation, so a reply without a body gives
    // empty data, never nil.
    ns::Ref<ns::Data> data = mutableData ? ns::cast<ns::Data>(mutableData->copy()) : nullptr;
    mutableData = nullptr;

    if (downloadFileURL) {
        userInfo->setObjectForKey(downloadFileURL, SDPNetworkingTaskDidCompleteAssetPathKey);
    } else if (data) {
        userInfo->setObjectForKey(data, SDPNetworkingTaskDidCompleteResponseDataKey);
    }

    const auto queue = strongManager->effectiveCompletionQueue();
    const auto group = strongManager->effectiveCompletionGroup();
    auto self = ref<SDPURLSessionManagerTaskDelegate>();
    const ns::Ref<ns::URLResponse> response = task->response();

    // The completion handler always runs before the notification, which is
    // always posted on the main queue.
    auto finish = [self, task, userInfo, response, queue, group](ns::Id responseObject, ns::Ref<ns::Error> failure) {
        group->async(queue, [self, task, userInfo, response, responseObject, failure] {
            if (self->completionHandler) self->completionHandler(response, responseObject, failure);
            dispatch::mainQueue()->async([task, userInfo] {
                ns::NotificationCenter::defaultCenter()->postNotificationName(SDPNetworkingTaskDidCompleteNotification,
                                                                              task, userInfo);
            });
        });
    };

    if (error) {
        userInfo->setObjectForKey(error, SDPNetworkingTaskDidCompleteErrorKey);
        finish(nullptr, error);
        return;
    }

    processingQueue()->async([self, strongManager, serializer, response, data, userInfo, finish] {
        ns::Ref<ns::Error> serializationError;
        ns::Id responseObject = strongManager->serializeResponse(serializer, response, data, &serializationError);
        if (self->downloadFileURL) responseObject = self->downloadFileURL;
        if (responseObject) userInfo->setObjectForKey(responseObject, SDPNetworkingTaskDidCompleteSerializedResponseKey);
        if (serializationError) userInfo->setObjectForKey(serializationError, SDPNetworkingTaskDidCompleteErrorKey);
        finish(responseObject, serializationError);
    });
}

void SDPURLSessionManagerTaskDelegate::didReceiveData(const ns::Ref<ns::URLSession>&,
                                                      const ns::Ref<ns::URLSessionDataTask>&,
                                                      const ns::Ref<ns::Data>& data) {
    if (mutableData && data) mutableData->appendData(data);
}

void SDPURLSessionManagerTaskDelegate::didFinishDownloadingToURL(const ns::Ref<ns::URLSession>& session,
                                                                 const ns::Ref<ns::URLSessionDownloadTask>& downloadTask,
                                                                 const ns::Ref<ns::URL>& location) {
    downloadFileURL = nullptr;
    if (downloadTaskDidFinishDownloading) {
        downloadFileURL = downloadTaskDidFinishDownloading(session, downloadTask, location);
        if (downloadFileURL) moveDownloadedFile(location, downloadFileURL, downloadTask);
    }
}

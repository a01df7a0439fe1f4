#include "net/SDPURLSessionManagerTaskDelegate.h"

#include <new>
#include <typeinfo>

#include "net/SDPJSONResponseSerializer.h"
#include "net/SDPPropertyListResponseSerializer.h"
#include "net/SDPURLSessionManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/URLError.h"

RT_DEFINE_CLASS(SDPURLSessionManagerTaskDelegate, ns::Object, "SDPURLSessionManagerTaskDelegate")

namespace {

// Serializers may be slow (images, large JSON): they run here, several at a
// time, so the delegate queue keeps delivering.
const dispatch::QueueRef& processingQueue() {
    static const dispatch::QueueRef queue = dispatch::Queue::concurrent("com.sdpkit.networking.session.manager.processing");
    return queue;
}

// The library's own HTTP, JSON and property-list serializers get through a
// short body in microseconds: they run on the delegate queue and spare the
// reply a hop. Any other serializer, subclasses of those included, may be
// slow and keeps the processing queue, as does a long body.
constexpr size_t delegateQueueSerializationLimit = 16 * 1024;

bool serializesOnDelegateQueue(const ns::Id& serializer, const ns::Data* data) {
    if (data && data->length() >= delegateQueueSerializationLimit) return false;
    if (!serializer) return true;
    // The exact type: a subclass registered under no class name of its own
    // still reports its parent's class.
    const std::type_info& kind = typeid(*serializer);
    return kind == typeid(SDPHTTPResponseSerializer) || kind == typeid(SDPJSONResponseSerializer) ||
           kind == typeid(SDPPropertyListResponseSerializer);
}

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

SDPURLSessionManagerTaskDelegate::SDPURLSessionManagerTaskDelegate() = default;

SDPURLSessionManagerTaskDelegate::~SDPURLSessionManagerTaskDelegate() {
    // A delegate dropped without clean-up (its manager went away first)
    // must not leave callbacks pointing at it.
    if (auto task = task_.lock()) {
        for (uint64_t token : taskObservations_) task->removeObserver(token);
    }
    for (auto& [progress, token] : progressObservations_) progress->removeObserver(token);
}

void SDPURLSessionManagerTaskDelegate::setupProgressForTask(const ns::Ref<ns::URLSessionTask>& task) {
    {
        std::lock_guard guard(progressLock_);
        task_ = task;
        cleanedUp_ = false;
        // A data task that became a download hands its progress on.
        for (const auto direction : {Direction::Upload, Direction::Download}) {
            if (direction == Direction::Upload ? uploadProgress_ : downloadProgress_) followTaskLocked(direction);
        }
    }
}

void SDPURLSessionManagerTaskDelegate::followProgressBlocks() {
    if (uploadProgressBlock) progress(Direction::Upload);
    if (downloadProgressBlock) progress(Direction::Download);
}

namespace {

struct Counts {
    int64_t total;
    int64_t completed;
    bool operator==(const Counts&) const = default;
};

Counts countsOf(const ns::URLSessionTask& task, bool upload) {
    return upload ? Counts{task.countOfBytesExpectedToSend(), task.countOfBytesSent()}
                  : Counts{task.countOfBytesExpectedToReceive(), task.countOfBytesReceived()};
}

void setCounts(ns::Progress& progress, const Counts& counts) {
    progress.setTotalUnitCount(counts.total);
    progress.setCompletedUnitCount(counts.completed);
}

}  // namespace

void SDPURLSessionManagerTaskDelegate::followTaskLocked(Direction direction) {
    auto task = task_.lock();
    const ns::Ref<ns::Progress>& progress = direction == Direction::Upload ? uploadProgress_ : downloadProgress_;
    if (!task || cleanedUp_) return;
    ns::Weak<ns::URLSessionTask> weakTask = task;
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
    ns::Weak<SDPURLSessionManagerTaskDelegate> weakSelf = ref<SDPURLSessionManagerTaskDelegate>();
    const bool upload = direction == Direction::Upload;
    for (const bool total : {false, true}) {
        const char* keyPath = upload ? (total ? "countOfBytesExpectedToSend" : "countOfBytesSent")
                                     : (total ? "countOfBytesExpectedToReceive" : "countOfBytesReceived");
        taskObservations_.push_back(task->addObserver(
            keyPath, [weakSelf, direction, total](ns::URLSessionTask&, const std::string&, int64_t value) {
                if (auto self = weakSelf.lock()) self->taskCountChanged(direction, total, value);
            }));
    }
    progressObservations_.emplace_back(progress, progress->addObserver("fractionCompleted", [weakSelf](ns::Progress& p) {
        if (auto self = weakSelf.lock()) self->progressChanged(p);
    }));
}

ns::Ref<ns::Progress> SDPURLSessionManagerTaskDelegate::progress(Direction direction) {
    const bool upload = direction == Direction::Upload;
    ns::Ref<ns::Progress> made;
    ns::Ref<ns::URLSessionTask> task;
    Counts counts{};
    {
        std::lock_guard guard(progressLock_);
        ns::Ref<ns::Progress>& slot = upload ? uploadProgress_ : downloadProgress_;
        if (slot) return slot;
        made = slot = ns::Progress::progressWithTotalUnitCount(ns::URLSessionTransferSizeUnknown);
        task = task_.lock();
        if (!task) return made;
        // Nobody else sees the object yet: setting it calls nobody.
        counts = countsOf(*task, upload);
        setCounts(*made, counts);
        followTaskLocked(direction);
    }
    // A count that moved before the observers were in place. Read after
    // them, so any later move is heard.
    for (Counts now = countsOf(*task, upload); !(now == counts); now = countsOf(*task, upload)) {
        setCounts(*made, now);
        counts = now;
    }
    return made;
}

void SDPURLSessionManagerTaskDelegate::cleanUpProgressForTask(const ns::Ref<ns::URLSessionTask>& task) {
    std::vector<uint64_t> taskObservations;
    std::vector<std::pair<ns::Ref<ns::Progress>, ns::Id>> progressObservations;
    {
        std::lock_guard guard(progressLock_);
        cleanedUp_ = true;
        taskObservations.swap(taskObservations_);
        progressObservations.swap(progressObservations_);
    }
    for (uint64_t token : taskObservations) task->removeObserver(token);
    for (auto& [progress, token] : progressObservations) progress->removeObserver(token);
}

void SDPURLSessionManagerTaskDelegate::taskCountChanged(Direction direction, bool total, int64_t newValue) {
    ns::Ref<ns::Progress> progress;
    {
        std::lock_guard guard(progressLock_);
        progress = direction == Direction::Upload ? uploadProgress_ : downloadProgress_;
    }
    if (!progress) return;
    if (total) progress->setTotalUnitCount(newValue);
    else progress->setCompletedUnitCount(newValue);
}

void SDPURLSessionManagerTaskDelegate::progressChanged(const ns::Progress& progress) {
    ns::Ref<ns::Progress> upload, download;
    {
        std::lock_guard guard(progressLock_);
        upload = uploadProgress_;
        download = downloadProgress_;
    }
    if (&progress == download.get()) {
        if (downloadProgressBlock) downloadProgressBlock(download);
    } else if (&progress == upload.get()) {
        if (uploadProgressBlock) uploadProgressBlock(upload);
    }
}

void SDPURLSessionManagerTaskDelegate::didCompleteWithError(const ns::Ref<ns::URLSession>&,
                                                            const ns::Ref<ns::URLSessionTask>& task,
                                                            const ns::Ref<ns::Error>& failure) {
    auto strongManager = manager.lock();
    if (!strongManager) return;

    auto userInfo = ns::MutableDictionary::make();
    const ns::Id serializer = strongManager->responseSerializer();
    if (serializer) userInfo->setObjectForKey(serializer, SDPNetworkingTaskDidCompleteResponseSerializerKey);

    // A reply without a body gives empty data, never nil. The bytes are
    // joined once and handed on, not copied again. A failed task hands on
    // what arrived before it failed; one stopped for want of memory has let
    // its bytes go.
    ns::Ref<ns::Error> error = failure;
    if (tooLong_) {
        auto request = task->currentRequest();
        error = ns::makeURLError(ns::URLErrorDataLengthExceedsMaximum, request ? request->URL() : nullptr);
    }
    ns::Ref<ns::Data> data;
    if (!tooLong_) {
        try {
            data = received_.takeData();
        } catch (const std::bad_alloc&) {
            auto request = task->currentRequest();
            ns::log("HTTP client: task for %@ failed: no memory left to join its reply of %llu bytes",
                    request ? request->URL()->absoluteString() : nullptr, (unsigned long long)received_.size());
            // A transport's failure stays the task's error.
            if (!error) error = ns::makeURLError(ns::URLErrorDataLengthExceedsMaximum, request ? request->URL() : nullptr);
        }
    }
    received_.release();
    // The reply stays counted until the completion handler has had it.
    std::shared_ptr<ns::ReplyShare> holding = std::move(holding_);
    holding_ = std::make_shared<ns::ReplyShare>(ns::sessionReplies());
    if (error) holding.reset();
    if (!data) data = ns::Data::make();

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
    auto finish = [self, task, userInfo, response, queue, group, holding](ns::Id responseObject,
                                                                          ns::Ref<ns::Error> failure) {
        group->async(queue, [self, task, userInfo, response, responseObject, failure, holding] {
            if (self->completionHandler) self->completionHandler(response, responseObject, failure);
            // The notification hands on the reply and what it was parsed
            // into: both stay counted until it has been posted.
            dispatch::mainQueue()->async([task, userInfo, holding] {
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

    auto serialize = [self, strongManager, serializer, response, data, userInfo, finish, holding, task] {
        ns::Ref<ns::Error> serializationError;
        ns::Id responseObject;
        {
            // What the reply is parsed into is held with it until its
            // completion has run, and counted in its share.
            ns::ReplyCharge charge(*holding);
            responseObject = strongManager->serializeResponse(serializer, response, data, &serializationError);
            if (charge.refused()) {
                auto request = task->currentRequest();
                ns::log("HTTP client: task for %@ stopped: what its reply is parsed into would not fit: %s",
                        request ? request->URL()->absoluteString() : nullptr, charge.refusal());
                responseObject = nullptr;
                serializationError = ns::makeURLError(ns::URLErrorDataLengthExceedsMaximum,
                                                      request ? request->URL() : nullptr);
            }
        }
        if (self->downloadFileURL) responseObject = self->downloadFileURL;
        if (responseObject) userInfo->setObjectForKey(responseObject, SDPNetworkingTaskDidCompleteSerializedResponseKey);
        if (serializationError) userInfo->setObjectForKey(serializationError, SDPNetworkingTaskDidCompleteErrorKey);
        finish(responseObject, serializationError);
    };
    if (serializesOnDelegateQueue(serializer, data.get())) {
        serialize();
    } else {
        processingQueue()->async(std::move(serialize));
    }
}

void SDPURLSessionManagerTaskDelegate::didReceiveData(const ns::Ref<ns::URLSession>&,
                                                      const ns::Ref<ns::URLSessionDataTask>& dataTask,
                                                      const ns::Ref<ns::Data>& data) {
    if (tooLong_ || !data) return;
    // Weighed as the session weighs a reply: its first bytes may pass the
    // budget's limit a little, the rest stay within it.
    const uint64_t total = received_.size() + data->length();
    if (!holding_->growForReply(total, total)) {
        return refuseReply(dataTask, ns::repliesWouldNotFit(holding_->budget()));
    }
    try {
        received_.append(reinterpret_cast<const char*>(data->bytes()), data->length());
    } catch (const std::bad_alloc&) {
        refuseReply(dataTask,
                    ns::format("no memory left to hold %llu more bytes of its reply", (unsigned long long)data->length()));
    }
}

void SDPURLSessionManagerTaskDelegate::refuseReply(const ns::Ref<ns::URLSessionDataTask>& dataTask,
                                                   const std::string& why) {
    // The task fails, not the process: what it gathered is let go now.
    ns::log("HTTP client: task for %@ stopped: %s",
            dataTask->currentRequest() ? dataTask->currentRequest()->URL()->absoluteString() : nullptr, why);
    received_.release();
    holding_->release();
    tooLong_ = true;
    dataTask->cancel();
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

#pragma once
// What a session manager keeps for each task it made: the bytes received
// so far, the upload and download progress (fed by observing the task's
// byte counts), the per-task blocks, and the one completion call.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Progress.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLResponse.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionDelegate.h"
#include "platform/foundation/URLSessionTask.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class SDPURLSessionManager;

class SDPURLSessionManagerTaskDelegate : public ns::Object,
                                         public ns::URLSessionDataDelegate,
                                         public ns::URLSessionDownloadDelegate {
    RT_DECLARE_CLASS(SDPURLSessionManagerTaskDelegate)
public:
    using CompletionHandler =
        std::function<void(const ns::Ref<ns::URLResponse>& response, const ns::Id& responseObject,
                           const ns::Ref<ns::Error>& error)>;
    using ProgressBlock = std::function<void(const ns::Ref<ns::Progress>& progress)>;
    using DownloadDestinationBlock =
        std::function<ns::Ref<ns::URL>(const ns::Ref<ns::URLSession>& session,
                                       const ns::Ref<ns::URLSessionDownloadTask>& downloadTask,
                                       const ns::Ref<ns::URL>& location)>;

    SDPURLSessionManagerTaskDelegate();
    ~SDPURLSessionManagerTaskDelegate() override;

    ns::Weak<SDPURLSessionManager> manager;
    // nil once the completion has taken the bytes.
    ns::Ref<ns::MutableData> mutableData;
    ns::Ref<ns::Progress> uploadProgress;
    ns::Ref<ns::Progress> downloadProgress;
    ns::Ref<ns::URL> downloadFileURL;
    DownloadDestinationBlock downloadTaskDidFinishDownloading;
    ProgressBlock uploadProgressBlock;
    ProgressBlock downloadProgressBlock;
    CompletionHandler completionHandler;

    // Under the manager's lock: sizes the progress objects from the task,
    // lets them cancel, pause and resume it, and starts observing.
    void setupProgressForTask(const ns::Ref<ns::URLSessionTask>& task);
    // Ends exactly the observations setupProgressForTask started.
    void cleanUpProgressForTask(const ns::Ref<ns::URLSessionTask>& task);
    // Moves a finished download; a failure is announced with
    // SDPURLSessionDownloadTaskDidFailToMoveFileNotification.
    static bool moveDownloadedFile(const ns::Ref<ns::URL>& location, const ns::Ref<ns::URL>& destination,
                                   const ns::Ref<ns::URLSessionDownloadTask>& downloadTask);
    // The task this delegate serves, while it lives.
    ns::Ref<ns::URLSessionTask> task() const { return task_.lock(); }

    // ---- Called by the manager on the session's delegate queue ----
    void didCompleteWithError(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionTask>& task,
                              const ns::Ref<ns::Error>& error) override;
    void didReceiveData(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDataTask>& dataTask,
                        const ns::Ref<ns::Data>& data) override;
    void didFinishDownloadingToURL(const ns::Ref<ns::URLSession>& session,
                                   const ns::Ref<ns::URLSessionDownloadTask>& downloadTask,
                                   const ns::Ref<ns::URL>& location) override;

private:
    void taskCountChanged(const std::string& keyPath, int64_t newValue);
    void progressChanged(const ns::Progress& progress);

    ns::Weak<ns::URLSessionTask> task_;
    std::vector<uint64_t> taskObservations_;
    std::vector<std::pair<ns::Ref<ns::Progress>, ns::Id>> progressObservations_;
};

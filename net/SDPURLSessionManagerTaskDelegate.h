#pragma once
// What a session manager keeps for each task it made: the bytes received
// so far (until the completion takes them), the upload and download progress (fed by observing the task's
// byte counts), the per-task blocks, and the one completion call.
//
// A progress object, and the observations that feed it, are made when first
// asked for or when a progress block wants them, starting from the task's
// counts so far: most requests never look at theirs.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Progress.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/ReplyBuffer.h"
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
    ns::Ref<ns::URL> downloadFileURL;
    DownloadDestinationBlock downloadTaskDidFinishDownloading;
    ProgressBlock uploadProgressBlock;
    ProgressBlock downloadProgressBlock;
    CompletionHandler completionHandler;

    // Any thread. Sized from the task and following its counts; each can
    // cancel, pause and resume the task.
    ns::Ref<ns::Progress> uploadProgress() { return progress(Direction::Upload); }
    ns::Ref<ns::Progress> downloadProgress() { return progress(Direction::Download); }

    // Under the manager's lock: remembers the task; a data task's progress
    // passes on to the download task it became.
    void setupProgressForTask(const ns::Ref<ns::URLSessionTask>& task);
    // Once the progress blocks are set: makes the progress objects they wait for.
    void followProgressBlocks();
    // Ends every observation made for the progress objects; any made later
    // no longer follow the task.
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
    enum class Direction { Upload, Download };

    ns::Ref<ns::Progress> progress(Direction direction);
    // Lets the progress cancel, pause and resume the task, and follow its
    // counts and report to the progress blocks.
    void followTaskLocked(Direction direction);
    // The task's count moved: the progress in `direction` follows.
    void taskCountChanged(Direction direction, bool total, int64_t newValue);
    void progressChanged(const ns::Progress& progress);

    ns::Weak<ns::URLSessionTask> task_;
    // The bytes received so far (delegate queue). Gathered in blocks of
    // their own and joined once at the end: a reply may be as long as a
    // session lets a task hold, and a doubling buffer would hold it twice
    // as it grows, and keep the room it doubled into.
    ns::ReplyBuffer received_;
    // received_'s part of what all sessions' replies hold, and then of what
    // the serializer makes of it, kept until the completion handler has run
    // and the completion notification has been posted.
    std::shared_ptr<ns::ReplyShare> holding_ = std::make_shared<ns::ReplyShare>(ns::sessionReplies());
    // A piece of the reply could not be held (the replies' budget was full,
    // or memory ran out): the task was cancelled and ends as a reply too
    // long to hold.
    bool tooLong_ = false;
    // Lets go of the reply and cancels the task, saying why.
    void refuseReply(const ns::Ref<ns::URLSessionDataTask>& dataTask, const std::string& why);

    // Guards the progress objects and the observations; never held while
    // either calls out.
    std::mutex progressLock_;
    ns::Ref<ns::Progress> uploadProgress_;
    ns::Ref<ns::Progress> downloadProgress_;
    bool cleanedUp_ = false;
    std::vector<uint64_t> taskObservations_;
    std::vector<std::pair<ns::Ref<ns::Progress>, ns::Id>> progressObservations_;
};

#pragma once
// Owns one URL session and is its only delegate. Makes data, upload and
// download tasks (never resumed here), keeps a task delegate for each until
// it completes, runs the response serializer off the delegate queue and
// calls each task's completion handler once, on the completion queue (main
// by default). Every delegate decision can be replaced by a block hook.
//
// The session holds its delegate until it is invalidated, so a manager that
// is never invalidated lives until exit.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "net/SDPNetworkReachabilityManager.h"
#include "net/SDPSecurityPolicy.h"
#include "net/SDPURLResponseSerialization.h"
#include "net/SDPURLSessionManagerTaskDelegate.h"
#include "platform/dispatch/Group.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionConfiguration.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

// ---- Notifications (default centre) ----
// Main queue, a task of this manager as object.
inline constexpr const char* SDPNetworkingTaskDidResumeNotification = "com.sdpkit.networking.task.resume";
inline constexpr const char* SDPNetworkingTaskDidSuspendNotification = "com.sdpkit.networking.task.suspend";
// Main queue, after the completion handler; the task as object, user info
// under the keys below.
inline constexpr const char* SDPNetworkingTaskDidCompleteNotification = "com.sdpkit.networking.task.complete";
// Delegate queue, the session as object.
inline constexpr const char* SDPURLSessionDidInvalidateNotification = "com.sdpkit.networking.session.invalidate";
// Delegate queue, the download task as object, the move error's user info.
inline constexpr const char* SDPURLSessionDownloadTaskDidFailToMoveFileNotification =
    "com.sdpkit.networking.session.download.file-manager-error";
// Posted synchronously by whichever thread resumed (suspended) a task that
// was not running (suspended), for every task of the process.
inline constexpr const char* SDPNSURLSessionTaskDidResumeNotification = "com.sdpkit.networking.nsurlsessiontask.resume";
inline constexpr const char* SDPNSURLSessionTaskDidSuspendNotification =
    "com.sdpkit.networking.nsurlsessiontask.suspend";

inline constexpr const char* SDPNetworkingTaskDidCompleteResponseSerializerKey =
    "com.sdpkit.networking.task.complete.responseserializer";
inline constexpr const char* SDPNetworkingTaskDidCompleteSerializedResponseKey =
    "com.sdpkit.networking.task.complete.serializedresponse";
// The reply's bytes (a data task's): for a failed task, what arrived before
// it failed; empty when nothing did, or when the task was stopped for want
// of memory to hold its reply. Without a "task" segment, unlike its
// siblings.
inline constexpr const char* SDPNetworkingTaskDidCompleteResponseDataKey =
    "com.sdpkit.networking.complete.finish.responsedata";
inline constexpr const char* SDPNetworkingTaskDidCompleteErrorKey = "com.sdpkit.networking.task.complete.error";
inline constexpr const char* SDPNetworkingTaskDidCompleteAssetPathKey = "com.sdpkit.networking.task.complete.assetpath";

class SDPURLSessionManager : public ns::Object,
                             public ns::URLSessionDataDelegate,
                             public ns::URLSessionDownloadDelegate,
                             public ns::Coding {
    RT_DECLARE_CLASS(SDPURLSessionManager)
public:
    using CompletionHandler = SDPURLSessionManagerTaskDelegate::CompletionHandler;
    using ProgressBlock = SDPURLSessionManagerTaskDelegate::ProgressBlock;
    // (temporary file, the task's response) -> where to move it, or nil.
    using DestinationBlock =
        std::function<ns::Ref<ns::URL>(const ns::Ref<ns::URL>& targetPath, const ns::Ref<ns::URLResponse>& response)>;

    // ---- Block hooks ----
    using SessionDidBecomeInvalidBlock = std::function<void(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::Error>&)>;
    using SessionDidReceiveAuthenticationChallengeBlock = std::function<ns::URLSessionAuthChallengeDisposition(
        const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLAuthenticationChallenge>&,
        ns::Ref<ns::URLCredential>* credential)>;
    using SessionDidFinishEventsForBackgroundURLSessionBlock = std::function<void(const ns::Ref<ns::URLSession>&)>;
    using TaskWillPerformHTTPRedirectionBlock = std::function<ns::Ref<ns::URLRequest>(
        const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&, const ns::Ref<ns::URLResponse>&,
        const ns::Ref<ns::URLRequest>&)>;
    using TaskDidReceiveAuthenticationChallengeBlock = std::function<ns::URLSessionAuthChallengeDisposition(
        const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
        const ns::Ref<ns::URLAuthenticationChallenge>&, ns::Ref<ns::URLCredential>* credential)>;
    using TaskNeedNewBodyStreamBlock =
        std::function<ns::Ref<ns::InputStream>(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&)>;
    using TaskDidSendBodyDataBlock = std::function<void(const ns::Ref<ns::URLSession>&,
                                                        const ns::Ref<ns::URLSessionTask>&, int64_t bytesSent,
                                                        int64_t totalBytesSent, int64_t totalBytesExpectedToSend)>;
    using TaskDidCompleteBlock = std::function<void(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                                                    const ns::Ref<ns::Error>&)>;
    using DataTaskDidReceiveResponseBlock = std::function<ns::URLSessionResponseDisposition(
        const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::URLResponse>&)>;
    using DataTaskDidBecomeDownloadTaskBlock =
        std::function<void(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&,
                           const ns::Ref<ns::URLSessionDownloadTask>&)>;
    using DataTaskDidReceiveDataBlock = std::function<void(
        const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Data>&)>;
    using DataTaskWillCacheResponseBlock = std::function<ns::Ref<ns::CachedURLResponse>(
        const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::CachedURLResponse>&)>;
    using DownloadTaskDidFinishDownloadingBlock = SDPURLSessionManagerTaskDelegate::DownloadDestinationBlock;
    using DownloadTaskDidWriteDataBlock =
        std::function<void(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDownloadTask>&,
                           int64_t bytesWritten, int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite)>;
    using DownloadTaskDidResumeBlock =
        std::function<void(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDownloadTask>&,
                           int64_t fileOffset, int64_t expectedTotalBytes)>;

    // A new manager with a session made from `configuration` (nil: the
    // default configuration).
    static ns::Ref<SDPURLSessionManager> make(const ns::Ref<ns::URLSessionConfiguration>& configuration = nullptr);

    // A blank manager, for the class registry: initWithSessionConfiguration
    // makes it usable.
    SDPURLSessionManager();
    ~SDPURLSessionManager() override;
    // Once, right after construction.
    virtual void initWithSessionConfiguration(const ns::Ref<ns::URLSessionConfiguration>& configuration);

    const ns::Ref<ns::URLSession>& session() const { return session_; }
    const ns::Ref<ns::OperationQueue>& operationQueue() const { return operationQueue_; }
    const ns::Ref<ns::URLSessionConfiguration>& sessionConfiguration() const { return sessionConfiguration_; }

    // An object adopting SDPURLResponseSerialization. Without one, replies
    // complete with no object and no error.
    ns::Id responseSerializer() const;
    // Raises NSInvalidArgumentException for an object that does not
    // serialize responses.
    void setResponseSerializer(const ns::Id& serializer);
    ns::Ref<SDPSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(ns::Ref<SDPSecurityPolicy> policy);
    ns::Ref<SDPNetworkReachabilityManager> reachabilityManager() const;
    void setReachabilityManager(ns::Ref<SDPNetworkReachabilityManager> manager);
    // nil: the main queue.
    dispatch::QueueRef completionQueue() const;
    void setCompletionQueue(dispatch::QueueRef queue);
    // nil: one group shared by the process.
    std::shared_ptr<dispatch::Group> completionGroup() const;
    void setCompletionGroup(std::shared_ptr<dispatch::Group> group);
    bool attemptsToRecreateUploadTasksForBackgroundSessions() const;
    void setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts);

    // The manager's address as text: every task it makes carries it as its
    // description, which is how its own tasks are told apart.
    const ns::Ref<ns::String>& taskDescriptionForSessionTasks() const { return taskDescription_; }

    // ---- Tasks (made suspended: the caller resumes them) ----
    // A request without a URL makes no task: the completion handler hears
    // -1000 on the completion queue and nil is returned.
    ns::Ref<ns::URLSessionDataTask> dataTaskWithRequest(const ns::Ref<ns::URLRequest>& request,
                                                        CompletionHandler completionHandler);
    ns::Ref<ns::URLSessionDataTask> dataTaskWithRequest(const ns::Ref<ns::URLRequest>& request,
                                                        ProgressBlock uploadProgress, ProgressBlock downloadProgress,
                                                        CompletionHandler completionHandler);
    // A file URL that is not a local file URL makes no task (-1002 to the
    // completion handler), after the retries for background sessions.
    ns::Ref<ns::URLSessionUploadTask> uploadTaskWithRequestFromFile(const ns::Ref<ns::URLRequest>& request,
                                                                    const ns::Ref<ns::URL>& fileURL,
                                                                    ProgressBlock uploadProgress,
                                                                    CompletionHandler completionHandler);
    ns::Ref<ns::URLSessionUploadTask> uploadTaskWithRequestFromData(const ns::Ref<ns::URLRequest>& request,
                                                                    const ns::Ref<ns::Data>& bodyData,
                                                                    ProgressBlock uploadProgress,
                                                                    CompletionHandler completionHandler);
    ns::Ref<ns::URLSessionUploadTask> uploadTaskWithStreamedRequest(const ns::Ref<ns::URLRequest>& request,
                                                                    ProgressBlock uploadProgress,
                                                                    CompletionHandler completionHandler);
    ns::Ref<ns::URLSessionDownloadTask> downloadTaskWithRequest(const ns::Ref<ns::URLRequest>& request,
                                                                ProgressBlock downloadProgress,
                                                                DestinationBlock destination,
                                                                CompletionHandler completionHandler);
    ns::Ref<ns::URLSessionDownloadTask> downloadTaskWithResumeData(const ns::Ref<ns::Data>& resumeData,
                                                                   ProgressBlock downloadProgress,
                                                                   DestinationBlock destination,
                                                                   CompletionHandler completionHandler);

    // nil for a task this manager does not know.
    ns::Ref<ns::Progress> uploadProgressForTask(const ns::Ref<ns::URLSessionTask>& task) const;
    ns::Ref<ns::Progress> downloadProgressForTask(const ns::Ref<ns::URLSessionTask>& task) const;

    // The session's unfinished tasks. Elsewhere they wait for the session's
    // answer on the delegate queue; asked on the delegate queue itself (from
    // a hook), they answer at once from the manager's own records.
    std::vector<ns::Ref<ns::URLSessionTask>> tasks() const;
    std::vector<ns::Ref<ns::URLSessionTask>> dataTasks() const;
    std::vector<ns::Ref<ns::URLSessionTask>> uploadTasks() const;
    std::vector<ns::Ref<ns::URLSessionTask>> downloadTasks() const;

    // Asynchronously on the main queue: cancel everything, or let the
    // running tasks finish first.
    void invalidateSessionCancelingTasks(bool cancelPendingTasks);

    // For the four delegate calls the session answers itself unless a hook
    // is set, whether the hook is set; for the others whether the manager
    // implements them.
    bool respondsToSelector(std::string_view selector) const override;

    // ---- Hook setters ----
    void setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block);
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionDidReceiveAuthenticationChallengeBlock block);
    void setDidFinishEventsForBackgroundURLSessionBlock(SessionDidFinishEventsForBackgroundURLSessionBlock block);
    void setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block);
    void setTaskDidReceiveAuthenticationChallengeBlock(TaskDidReceiveAuthenticationChallengeBlock block);
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block);
    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block);
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block);
    void setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block);
    void setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block);
    void setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block);
    void setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block);
    void setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block);
    void setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block);
    void setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block);

    // ---- The session's delegate (on the delegate queue) ----
    void didBecomeInvalidWithError(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::Error>& error) override;
    bool didReceiveChallenge(const ns::Ref<ns::URLSession>& session,
                             const ns::Ref<ns::URLAuthenticationChallenge>& challenge,
                             const ns::URLSessionChallengeCompletion& completion) override;
    bool willPerformHTTPRedirection(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionTask>& task,
                                    const ns::Ref<ns::HTTPURLResponse>& response,
                                    const ns::Ref<ns::URLRequest>& newRequest,
                                    const std::function<void(ns::Ref<ns::URLRequest>)>& completion) override;
    bool taskDidReceiveChallenge(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionTask>& task,
                                 const ns::Ref<ns::URLAuthenticationChallenge>& challenge,
                                 const ns::URLSessionChallengeCompletion& completion) override;
    bool needNewBodyStream(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionTask>& task,
                           const std::function<void(ns::Ref<ns::InputStream>)>& completion) override;
    void didSendBodyData(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionTask>& task,
                         int64_t bytesSent, int64_t totalBytesSent, int64_t totalBytesExpectedToSend) override;
    void didCompleteWithError(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionTask>& task,
                              const ns::Ref<ns::Error>& error) override;
    bool didReceiveResponse(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDataTask>& dataTask,
                            const ns::Ref<ns::URLResponse>& response,
                            const std::function<void(ns::URLSessionResponseDisposition)>& completion) override;
    void didBecomeDownloadTask(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDataTask>& dataTask,
                               const ns::Ref<ns::URLSessionDownloadTask>& downloadTask) override;
    void didReceiveData(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDataTask>& dataTask,
                        const ns::Ref<ns::Data>& data) override;
    bool willCacheResponse(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDataTask>& dataTask,
                           const ns::Ref<ns::CachedURLResponse>& proposedResponse,
                           const std::function<void(ns::Ref<ns::CachedURLResponse>)>& completion) override;
    void didFinishDownloadingToURL(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDownloadTask>& task,
                                   const ns::Ref<ns::URL>& location) override;
    void didWriteData(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDownloadTask>& task,
                      int64_t bytesWritten, int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite) override;
    void didResumeAtOffset(const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::URLSessionDownloadTask>& task,
                           int64_t fileOffset, int64_t expectedTotalBytes) override;

    // ---- Archiving and copying: only the session configuration travels ----
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    ns::Id copy() const override;

    std::string description() const override;

    // For the completion steps of task delegates.
    dispatch::QueueRef effectiveCompletionQueue() const;
    std::shared_ptr<dispatch::Group> effectiveCompletionGroup() const;
    // The serializer's object for (response, data), on the processing queue.
    ns::Id serializeResponse(const ns::Id& serializer, const ns::Ref<ns::URLResponse>& response,
                             const ns::Ref<ns::Data>& data, ns::Ref<ns::Error>* error) const;

protected:
    // Reports a task that could not be made, as its completion would have.
    void failWithoutTask(const CompletionHandler& completionHandler, ns::Ref<ns::Error> error) const;

private:
    struct Hooks;

    void addDelegateForDataTask(const ns::Ref<ns::URLSessionDataTask>& task, ProgressBlock uploadProgress,
                                ProgressBlock downloadProgress, CompletionHandler completionHandler);
    void addDelegateForUploadTask(const ns::Ref<ns::URLSessionUploadTask>& task, ProgressBlock uploadProgress,
                                  CompletionHandler completionHandler);
    void addDelegateForDownloadTask(const ns::Ref<ns::URLSessionDownloadTask>& task, ProgressBlock downloadProgress,
                                    DestinationBlock destination, CompletionHandler completionHandler);
    ns::Ref<SDPURLSessionManagerTaskDelegate> delegateForTask(const ns::URLSessionTask& task) const;
    void setDelegateForTask(const ns::Ref<SDPURLSessionManagerTaskDelegate>& delegate,
                            const ns::Ref<ns::URLSessionTask>& task);
    void removeDelegateForTask(const ns::Ref<ns::URLSessionTask>& task);
    void observeTaskActivity();
    void taskDidChangeActivity(const ns::Id& task, const char* notificationName) const;
    // The policy's answer to a server-trust challenge; default handling for
    // any other kind.
    void answerChallenge(const ns::Ref<ns::URLAuthenticationChallenge>& challenge, bool taskLevel,
                         ns::URLSessionAuthChallengeDisposition* disposition,
                         ns::Ref<ns::URLCredential>* credential) const;
    std::vector<ns::Ref<ns::URLSessionTask>> tasksOfKind(int kind) const;
    std::vector<ns::Ref<ns::URLSessionTask>> recordedTasks() const;
    template <class F>
    F hook(F Hooks::*member) const;

    ns::Ref<ns::URLSession> session_;
    ns::Ref<ns::OperationQueue> operationQueue_;
    ns::Ref<ns::URLSessionConfiguration> sessionConfiguration_;
    ns::Ref<ns::String> taskDescription_;

    // The task delegates and their set-up and clean-up. Not recursive:
    // removeDelegateForTask looks the delegate up before taking it.
    mutable std::mutex lock_;
    std::unordered_map<uint64_t, ns::Ref<SDPURLSessionManagerTaskDelegate>> mutableTaskDelegatesKeyedByTaskIdentifier_;
    std::once_flag activityObserved_;

    // Settings and hooks: set by the owner on any thread, read on the
    // delegate and processing queues.
    mutable std::mutex settingsLock_;
    ns::Id responseSerializer_;
    ns::Ref<SDPSecurityPolicy> securityPolicy_;
    ns::Ref<SDPNetworkReachabilityManager> reachabilityManager_;
    dispatch::QueueRef completionQueue_;
    std::shared_ptr<dispatch::Group> completionGroup_;
    bool attemptsToRecreateUploadTasks_ = false;
    std::unique_ptr<Hooks> hooks_;
};

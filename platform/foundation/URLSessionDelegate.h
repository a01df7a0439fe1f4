#pragma once
// What a session tells its delegate, on the session's delegate queue, one
// call at a time. Every method is optional. Those that decide something take
// a completion handler and return whether they are offered: returning false
// (the default) means "not implemented" and the session applies its own
// default; returning true means the method will call the completion handler
// exactly once, now or later, from any thread.
//
// The kinds follow the platform's: session-wide events, task events, data
// task events and download task events. A delegate that wants data and
// download events derives from both (the task level is a virtual base).

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLAuthenticationChallenge.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLCredential.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"

namespace ns {

class URLSession;
class URLSessionTask;
class URLSessionDataTask;
class URLSessionDownloadTask;

// The platform's numbering.
enum class URLSessionAuthChallengeDisposition : int64_t {
    UseCredential = 0,
    PerformDefaultHandling = 1,
    CancelAuthenticationChallenge = 2,
    RejectProtectionSpace = 3,
};

enum class URLSessionResponseDisposition : int64_t {
    Cancel = 0,
    Allow = 1,
    BecomeDownload = 2,
};

using URLSessionChallengeCompletion = std::function<void(URLSessionAuthChallengeDisposition, Ref<URLCredential>)>;

// Selector names of the methods a session asks about before calling.
inline constexpr std::string_view URLSessionDidReceiveResponseSelector =
    "URLSession:dataTask:didReceiveResponse:completionHandler:";
inline constexpr std::string_view URLSessionWillCacheResponseSelector =
    "URLSession:dataTask:willCacheResponse:completionHandler:";
inline constexpr std::string_view URLSessionWillPerformHTTPRedirectionSelector =
    "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:";

class URLSessionDelegate {
public:
    virtual ~URLSessionDelegate() = default;

    // Whether the delegate implements the method named by `selector`; any
    // thread. A session does not ask a delegate that says no for a response
    // disposition, about a redirect or about caching: it allows the response
    // (follows the redirect, stores the proposed cache entry) at once, and
    // the load goes on without waiting for the delegate queue. Default: yes.
    virtual bool respondsToSelector(std::string_view selector) const {
        (void)selector;
        return true;
    }

    // The last call a session makes; the session lets go of its delegate after it.
    virtual void didBecomeInvalidWithError(const Ref<URLSession>& session, const Ref<Error>& error) {
        (void)session, (void)error;
    }
    // Challenges that concern the whole connection (a server's trust). When
    // not offered, the task-level method is asked instead.
    virtual bool didReceiveChallenge(const Ref<URLSession>& session, const Ref<URLAuthenticationChallenge>& challenge,
                                     const URLSessionChallengeCompletion& completion) {
        (void)session, (void)challenge, (void)completion;
        return false;
    }
};

class URLSessionTaskDelegate : public virtual URLSessionDelegate {
public:
    // The completion gets the request to follow, or nil to take the redirect
    // response as the final one. Default: follow.
    virtual bool willPerformHTTPRedirection(const Ref<URLSession>& session, const Ref<URLSessionTask>& task,
                                            const Ref<HTTPURLResponse>& response, const Ref<URLRequest>& newRequest,
                                            const std::function<void(Ref<URLRequest>)>& completion) {
        (void)session, (void)task, (void)response, (void)newRequest, (void)completion;
        return false;
    }
    // Challenges of one request (a server asking who the client is), and
    // server-trust challenges when the session-level method is not offered.
    // Default: default handling.
    virtual bool taskDidReceiveChallenge(const Ref<URLSession>& session, const Ref<URLSessionTask>& task,
                                         const Ref<URLAuthenticationChallenge>& challenge,
                                         const URLSessionChallengeCompletion& completion) {
        (void)session, (void)task, (void)challenge, (void)completion;
        return false;
    }
    // A streamed body must be sent (again). Default: the task fails.
    virtual bool needNewBodyStream(const Ref<URLSession>& session, const Ref<URLSessionTask>& task,
                                   const std::function<void(Ref<InputStream>)>& completion) {
        (void)session, (void)task, (void)completion;
        return false;
    }
    virtual void didSendBodyData(const Ref<URLSession>& session, const Ref<URLSessionTask>& task, int64_t bytesSent,
                                 int64_t totalBytesSent, int64_t totalBytesExpectedToSend) {
        (void)session, (void)task, (void)bytesSent, (void)totalBytesSent, (void)totalBytesExpectedToSend;
    }
    // The last call about a task; nil error on success.
    virtual void didCompleteWithError(const Ref<URLSession>& session, const Ref<URLSessionTask>& task,
                                      const Ref<Error>& error) {
        (void)session, (void)task, (void)error;
    }
};

class URLSessionDataDelegate : public virtual URLSessionTaskDelegate {
public:
    // Default: allow.
    virtual bool didReceiveResponse(const Ref<URLSession>& session, const Ref<URLSessionDataTask>& dataTask,
                                    const Ref<URLResponse>& response,
                                    const std::function<void(URLSessionResponseDisposition)>& completion) {
        (void)session, (void)dataTask, (void)response, (void)completion;
        return false;
    }
    // After a BecomeDownload disposition: the data task is done without a
    // completion call; the download task carries on.
    virtual void didBecomeDownloadTask(const Ref<URLSession>& session, const Ref<URLSessionDataTask>& dataTask,
                                       const Ref<URLSessionDownloadTask>& downloadTask) {
        (void)session, (void)dataTask, (void)downloadTask;
    }
    virtual void didReceiveData(const Ref<URLSession>& session, const Ref<URLSessionDataTask>& dataTask,
                                const Ref<Data>& data) {
        (void)session, (void)dataTask, (void)data;
    }
    // The completion gets the response to cache, or nil for none. Default:
    // the proposed one.
    virtual bool willCacheResponse(const Ref<URLSession>& session, const Ref<URLSessionDataTask>& dataTask,
                                   const Ref<CachedURLResponse>& proposedResponse,
                                   const std::function<void(Ref<CachedURLResponse>)>& completion) {
        (void)session, (void)dataTask, (void)proposedResponse, (void)completion;
        return false;
    }
};

class URLSessionDownloadDelegate : public virtual URLSessionTaskDelegate {
public:
    // The file at `location` is removed when this returns: move it now.
    virtual void didFinishDownloadingToURL(const Ref<URLSession>& session, const Ref<URLSessionDownloadTask>& task,
                                           const Ref<URL>& location) {
        (void)session, (void)task, (void)location;
    }
    virtual void didWriteData(const Ref<URLSession>& session, const Ref<URLSessionDownloadTask>& task,
                              int64_t bytesWritten, int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite) {
        (void)session, (void)task, (void)bytesWritten, (void)totalBytesWritten, (void)totalBytesExpectedToWrite;
    }
    virtual void didResumeAtOffset(const Ref<URLSession>& session, const Ref<URLSessionDownloadTask>& task,
                                   int64_t fileOffset, int64_t expectedTotalBytes) {
        (void)session, (void)task, (void)fileOffset, (void)expectedTotalBytes;
    }
};

}  // namespace ns

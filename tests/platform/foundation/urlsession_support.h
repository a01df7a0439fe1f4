#pragma once
// Shared by the URL loading tests: a delegate that records what it is told
// (from whatever thread the session calls it on) and can be told how to
// decide, and small helpers for requests and temporary homes.

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"

namespace urltest {

// Points the app's home folder at a fresh temporary folder for one test.
class TemporaryHome {
public:
    TemporaryHome() {
        char pattern[] = "/tmp/urltest-home-XXXXXX";
        path_ = ::mkdtemp(pattern);
        if (const char* old = std::getenv("GAMEHOST_HOME")) previous_ = old, hadPrevious_ = true;
        ::setenv("GAMEHOST_HOME", path_.c_str(), 1);
    }
    ~TemporaryHome() {
        if (hadPrevious_) ::setenv("GAMEHOST_HOME", previous_.c_str(), 1);
        else ::unsetenv("GAMEHOST_HOME");
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// An ephemeral session without a URL cache, so every load reaches its server;
// `connectionsPerHost`, when given, lets that many load from one host at once.
inline ns::Ref<ns::URLSession> ephemeralSession(ns::Ref<ns::URLSessionDelegate> delegate = nullptr,
                                                int connectionsPerHost = 0) {
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    if (connectionsPerHost > 0) config->setHTTPMaximumConnectionsPerHost(connectionsPerHost);
    return ns::URLSession::sessionWithConfiguration(config, std::move(delegate), nullptr);
}

inline ns::Ref<ns::MutableURLRequest> request(const std::string& url) {
    return ns::MutableURLRequest::make(ns::URL::make(url));
}

class RecordingDelegate : public ns::URLSessionDataDelegate, public ns::URLSessionDownloadDelegate {
public:
    using Disposition = ns::URLSessionResponseDisposition;
    using ChallengeAnswer = std::pair<ns::URLSessionAuthChallengeDisposition, ns::Ref<ns::URLCredential>>;

    // ---- How to decide (unset: not offered) ----
    std::function<Disposition(const ns::Ref<ns::URLResponse>&)> onResponse;
    std::function<ns::Ref<ns::URLRequest>(const ns::Ref<ns::HTTPURLResponse>&, const ns::Ref<ns::URLRequest>&)> onRedirect;
    std::function<ChallengeAnswer(const ns::Ref<ns::URLAuthenticationChallenge>&)> onSessionChallenge;
    std::function<ChallengeAnswer(const ns::Ref<ns::URLAuthenticationChallenge>&)> onTaskChallenge;
    std::function<ns::Ref<ns::InputStream>()> onNeedBodyStream;
    std::function<ns::Ref<ns::CachedURLResponse>(const ns::Ref<ns::CachedURLResponse>&)> onWillCache;
    // Called with the file before it is removed.
    std::function<void(const ns::Ref<ns::URL>&)> onDownloaded;

    // ---- What happened ----
    struct Record {
        std::vector<std::string> events;
        std::string body;
        std::vector<ns::Ref<ns::Error>> completions;
        std::vector<ns::Ref<ns::URLAuthenticationChallenge>> challenges;
        std::vector<int64_t> sentTotals;
        int64_t expectedToSend = 0;
        std::vector<std::thread::id> threads;
        bool invalidated = false;
        ns::Ref<ns::URLSessionDownloadTask> becameDownload;
    };
    Record record() const {
        std::lock_guard guard(lock_);
        return record_;
    }

    void didBecomeInvalidWithError(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::Error>&) override {
        note("invalid");
        std::lock_guard guard(lock_);
        record_.invalidated = true;
    }
    bool didReceiveChallenge(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLAuthenticationChallenge>& challenge,
                             const ns::URLSessionChallengeCompletion& completion) override {
        if (!onSessionChallenge) return false;
        note("session-challenge");
        keep(challenge);
        auto [disposition, credential] = onSessionChallenge(challenge);
        completion(disposition, credential);
        return true;
    }
    bool willPerformHTTPRedirection(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                                    const ns::Ref<ns::HTTPURLResponse>& response, const ns::Ref<ns::URLRequest>& next,
                                    const std::function<void(ns::Ref<ns::URLRequest>)>& completion) override {
        if (!onRedirect) return false;
        note("redirect " + std::to_string(response->statusCode()));
        completion(onRedirect(response, next));
        return true;
    }
    bool taskDidReceiveChallenge(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                                 const ns::Ref<ns::URLAuthenticationChallenge>& challenge,
                                 const ns::URLSessionChallengeCompletion& completion) override {
        if (!onTaskChallenge) return false;
        note("task-challenge");
        keep(challenge);
        auto [disposition, credential] = onTaskChallenge(challenge);
        completion(disposition, credential);
        return true;
    }
    bool needNewBodyStream(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                           const std::function<void(ns::Ref<ns::InputStream>)>& completion) override {
        if (!onNeedBodyStream) return false;
        note("need-body-stream");
        completion(onNeedBodyStream());
        return true;
    }
    void didSendBodyData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&, int64_t, int64_t total,
                         int64_t expected) override {
        std::lock_guard guard(lock_);
        record_.sentTotals.push_back(total);
        record_.expectedToSend = expected;
    }
    void didCompleteWithError(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                              const ns::Ref<ns::Error>& error) override {
        note(error ? "complete " + std::to_string(error->code()) : std::string("complete"));
        std::lock_guard guard(lock_);
        record_.completions.push_back(error);
    }
    bool didReceiveResponse(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&,
                            const ns::Ref<ns::URLResponse>& response,
                            const std::function<void(Disposition)>& completion) override {
        auto http = ns::cast<ns::HTTPURLResponse>(response);
        note("response " + std::to_string(http ? http->statusCode() : 0));
        if (!onResponse) return false;
        completion(onResponse(response));
        return true;
    }
    void didBecomeDownloadTask(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&,
                               const ns::Ref<ns::URLSessionDownloadTask>& download) override {
        note("became-download");
        std::lock_guard guard(lock_);
        record_.becameDownload = download;
    }
    void didReceiveData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&,
                        const ns::Ref<ns::Data>& data) override {
        std::lock_guard guard(lock_);
        record_.body.append(data->view());
    }
    bool willCacheResponse(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&,
                           const ns::Ref<ns::CachedURLResponse>& proposed,
                           const std::function<void(ns::Ref<ns::CachedURLResponse>)>& completion) override {
        if (!onWillCache) return false;
        note("will-cache");
        completion(onWillCache(proposed));
        return true;
    }
    void didFinishDownloadingToURL(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDownloadTask>&,
                                   const ns::Ref<ns::URL>& location) override {
        note("downloaded");
        if (onDownloaded) onDownloaded(location);
    }
    void didWriteData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDownloadTask>&, int64_t, int64_t,
                      int64_t) override {
        std::lock_guard guard(lock_);
        if (record_.events.empty() || record_.events.back() != "wrote") record_.events.push_back("wrote");
    }
    void didResumeAtOffset(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDownloadTask>&, int64_t offset,
                           int64_t expected) override {
        note("resumed " + std::to_string(offset) + "/" + std::to_string(expected));
    }

private:
    void note(std::string event) {
        std::lock_guard guard(lock_);
        record_.events.push_back(std::move(event));
        record_.threads.push_back(std::this_thread::get_id());
    }
    void keep(const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
        std::lock_guard guard(lock_);
        record_.challenges.push_back(challenge);
    }

    mutable std::mutex lock_;
    Record record_;
};

// What a completion handler was given.
struct Outcome {
    std::mutex lock;
    int calls = 0;
    ns::Ref<ns::Data> data;
    ns::Ref<ns::URLResponse> response;
    ns::Ref<ns::Error> error;
    std::thread::id thread;

    ns::URLSessionDataCompletion handler() {
        return [this](ns::Ref<ns::Data> d, ns::Ref<ns::URLResponse> r, ns::Ref<ns::Error> e) {
            std::lock_guard guard(lock);
            ++calls;
            data = std::move(d);
            response = std::move(r);
            error = std::move(e);
            thread = std::this_thread::get_id();
        };
    }
    std::string body() {
        std::lock_guard guard(lock);
        return data ? std::string(data->view()) : std::string();
    }
    int64_t status() {
        std::lock_guard guard(lock);
        auto http = ns::cast<ns::HTTPURLResponse>(response);
        return http ? http->statusCode() : 0;
    }
    int64_t errorCode() {
        std::lock_guard guard(lock);
        return error ? error->code() : 0;
    }
};

}  // namespace urltest

#pragma once
// The HTTP face of the client: a session manager with a base URL and a
// request serializer, one call per HTTP method. Each call builds the
// request, makes and resumes the task, and calls exactly one of its success
// and failure blocks on the completion queue (main by default).

#include <functional>
#include <string_view>

#include "net/SDPHTTPRequestSerializer.h"
#include "net/SDPHTTPResponseSerializer.h"
#include "net/SDPURLSessionManager.h"
#include "platform/foundation/URL.h"

class SDPHTTPSessionManager : public SDPURLSessionManager {
    RT_DECLARE_CLASS(SDPHTTPSessionManager)
public:
    using SuccessBlock = std::function<void(const ns::Ref<ns::URLSessionDataTask>& task, const ns::Id& responseObject)>;
    using HeadSuccessBlock = std::function<void(const ns::Ref<ns::URLSessionDataTask>& task)>;
    // The task is nil when the request could not be built.
    using FailureBlock = std::function<void(const ns::Ref<ns::URLSessionDataTask>& task, const ns::Ref<ns::Error>& error)>;
    using ConstructingBodyBlock = SDPHTTPRequestSerializer::ConstructingBodyBlock;

    // A new instance of T (a subclass keeps its own class) without a base URL.
    template <class T = SDPHTTPSessionManager>
    static ns::Ref<T> manager() {
        auto created = std::make_shared<T>();
        created->initWithBaseURL(nullptr, nullptr);
        return created;
    }
    static ns::Ref<SDPHTTPSessionManager> make(const ns::Ref<ns::URL>& baseURL = nullptr,
                                               const ns::Ref<ns::URLSessionConfiguration>& configuration = nullptr);

    // Blank, for the class registry and subclasses: one of the initialisers
    // below makes it usable.
    SDPHTTPSessionManager() = default;
    void initWithSessionConfiguration(const ns::Ref<ns::URLSessionConfiguration>& configuration) override;
    // A base URL with a path gains a trailing "/" so that relative paths
    // resolve below it.
    virtual void initWithBaseURL(const ns::Ref<ns::URL>& baseURL,
                                 const ns::Ref<ns::URLSessionConfiguration>& configuration);

    const ns::Ref<ns::URL>& baseURL() const { return baseURL_; }
    ns::Ref<SDPHTTPRequestSerializer> requestSerializer() const;
    void setRequestSerializer(ns::Ref<SDPHTTPRequestSerializer> serializer);
    ns::Ref<SDPHTTPResponseSerializer> responseSerializer() const;
    void setResponseSerializer(const ns::Ref<SDPHTTPResponseSerializer>& serializer);

    // ---- Requests: each returns the resumed task, or nil (after one
    // failure call with a nil task) when the request cannot be built ----
    ns::Ref<ns::URLSessionDataTask> GET(std::string_view URLString, const ns::Id& parameters, SuccessBlock success,
                                        FailureBlock failure);
    ns::Ref<ns::URLSessionDataTask> GET(std::string_view URLString, const ns::Id& parameters,
                                        ProgressBlock downloadProgress, SuccessBlock success, FailureBlock failure);
    ns::Ref<ns::URLSessionDataTask> HEAD(std::string_view URLString, const ns::Id& parameters, HeadSuccessBlock success,
                                         FailureBlock failure);
    ns::Ref<ns::URLSessionDataTask> POST(std::string_view URLString, const ns::Id& parameters, SuccessBlock success,
                                         FailureBlock failure);
    ns::Ref<ns::URLSessionDataTask> POST(std::string_view URLString, const ns::Id& parameters,
                                         ProgressBlock uploadProgress, SuccessBlock success, FailureBlock failure);
    // A streamed multipart body: the parameters as form fields, then the
    // parts the block appends.
    ns::Ref<ns::URLSessionDataTask> POSTConstructingBody(std::string_view URLString, const ns::Id& parameters,
                                                         ConstructingBodyBlock block, SuccessBlock success,
                                                         FailureBlock failure);
    ns::Ref<ns::URLSessionDataTask> POSTConstructingBody(std::string_view URLString, const ns::Id& parameters,
                                                         ConstructingBodyBlock block, ProgressBlock uploadProgress,
                                                         SuccessBlock success, FailureBlock failure);
    ns::Ref<ns::URLSessionDataTask> PUT(std::string_view URLString, const ns::Id& parameters, SuccessBlock success,
                                        FailureBlock failure);
    ns::Ref<ns::URLSessionDataTask> PATCH(std::string_view URLString, const ns::Id& parameters, SuccessBlock success,
                                          FailureBlock failure);
    ns::Ref<ns::URLSessionDataTask> DELETE(std::string_view URLString, const ns::Id& parameters, SuccessBlock success,
                                           FailureBlock failure);

    // The request resolved against the base URL and serialized; the task is
    // made but not resumed.
    ns::Ref<ns::URLSessionDataTask> dataTaskWithHTTPMethod(std::string_view method, std::string_view URLString,
                                                           const ns::Id& parameters, ProgressBlock uploadProgress,
                                                           ProgressBlock downloadProgress, SuccessBlock success,
                                                           FailureBlock failure);

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    // The base URL, the configuration and copies of the serializers and the
    // policy; neither the completion queue nor the hooks.
    ns::Id copy() const override;
    std::string description() const override;

private:
    // Calls failure(nil, error) on the completion queue.
    void failEarly(const FailureBlock& failure, const ns::Ref<ns::Error>& error) const;
    // The completion handler shared by every call: failure with the error,
    // else success with the object.
    CompletionHandler completionFor(const std::shared_ptr<ns::Ref<ns::URLSessionDataTask>>& task, SuccessBlock success,
                                    FailureBlock failure) const;

    ns::Ref<ns::URL> baseURL_;
    ns::Ref<SDPHTTPRequestSerializer> requestSerializer_;
};

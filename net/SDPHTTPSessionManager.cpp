#include "net/SDPHTTPSessionManager.h"

#include "net/SDPJSONResponseSerializer.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/URLError.h"

RT_DEFINE_CLASS(SDPHTTPSessionManager, SDPURLSessionManager, "SDPHTTPSessionManager")

ns::Ref<SDPHTTPSessionManager> SDPHTTPSessionManager::make(const ns::Ref<ns::URL>& baseURL,
                                                           const ns::Ref<ns::URLSessionConfiguration>& configuration) {
    auto manager = std::make_shared<SDPHTTPSessionManager>();
    manager->initWithBaseURL(baseURL, configuration);
    return manager;
}

void SDPHTTPSessionManager::initWithSessionConfiguration(const ns::Ref<ns::URLSessionConfiguration>& configuration) {
    initWithBaseURL(nullptr, configuration);
}

void SDPHTTPSessionManager::initWithBaseURL(const ns::Ref<ns::URL>& baseURL,
                                            const ns::Ref<ns::URLSessionConfiguration>& configuration) {
    SDPURLSessionManager::initWithSessionConfiguration(configuration);
    baseURL_ = baseURL;
    if (baseURL) {
        auto path = baseURL->path();
        if (path && path->length() > 0 && !baseURL->absoluteString()->hasSuffix("/")) {
            baseURL_ = baseURL->URLByAppendingPathComponent("");
        }
    }
    requestSerializer_ = SDPHTTPRequestSerializer::serializer();
    SDPURLSessionManager::setResponseSerializer(SDPJSONResponseSerializer::serializer());
}

ns::Ref<SDPHTTPRequestSerializer> SDPHTTPSessionManager::requestSerializer() const { return requestSerializer_; }

void SDPHTTPSessionManager::setRequestSerializer(ns::Ref<SDPHTTPRequestSerializer> serializer) {
    requestSerializer_ = std::move(serializer);
}

ns::Ref<SDPHTTPResponseSerializer> SDPHTTPSessionManager::responseSerializer() const {
    return ns::cast<SDPHTTPResponseSerializer>(SDPURLSessionManager::responseSerializer());
}

void SDPHTTPSessionManager::setResponseSerializer(const ns::Ref<SDPHTTPResponseSerializer>& serializer) {
    SDPURLSessionManager::setResponseSerializer(serializer);
}

// ---- Requests ----

void SDPHTTPSessionManager::failEarly(const FailureBlock& failure, const ns::Ref<ns::Error>& error) const {
    if (!failure) return;
    effectiveCompletionQueue()->async([failure, error] { failure(nullptr, error); });
}

SDPHTTPSessionManager::CompletionHandler SDPHTTPSessionManager::completionFor(
    const std::shared_ptr<ns::Ref<ns::URLSessionDataTask>>& task, SuccessBlock success, FailureBlock failure) const {
    // The task is filled in once made; a task that could not be made reaches
    // failure as nil.
    return [task, success = std::move(success), failure = std::move(failure)](
               const ns::Ref<ns::URLResponse>&, const ns::Id& responseObject, const ns::Ref<ns::Error>& error) {
        if (error) {
            if (failure) failure(*task, error);
        } else if (success) {
            success(*task, responseObject);
        }
    };
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::dataTaskWithHTTPMethod(
    std::string_view method, std::string_view URLString, const ns::Id& parameters, ProgressBlock uploadProgress,
    ProgressBlock downloadProgress, SuccessBlock success, FailureBlock failure) {
    auto url = ns::URL::make(URLString, baseURL_);
    if (!url) {
        failEarly(failure, ns::makeURLError(ns::URLErrorBadURL, nullptr));
        return nullptr;
    }
    ns::Ref<ns::Error> serializationError;
    ns::Ref<ns::MutableURLRequest> request;
    if (requestSerializer_) {
        request = requestSerializer_->requestWithMethod(method, url->absoluteURL(), parameters, &serializationError);
    }
    if (serializationError) {
        failEarly(failure, serializationError);
        return nullptr;
    }
    auto holder = std::make_shared<ns::Ref<ns::URLSessionDataTask>>();
    *holder = dataTaskWithRequest(request, std::move(uploadProgress), std::move(downloadProgress),
                                  completionFor(holder, std::move(success), std::move(failure)));
    return *holder;
}

namespace {

ns::Ref<ns::URLSessionDataTask> resumed(ns::Ref<ns::URLSessionDataTask> task) {
    if (task) task->resume();
    return task;
}

}  // namespace

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::GET(std::string_view URLString, const ns::Id& parameters,
                                                           SuccessBlock success, FailureBlock failure) {
    return GET(URLString, parameters, nullptr, std::move(success), std::move(failure));
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::GET(std::string_view URLString, const ns::Id& parameters,
                                                           ProgressBlock downloadProgress, SuccessBlock success,
                                                           FailureBlock failure) {
    return resumed(dataTaskWithHTTPMethod("GET", URLString, parameters, nullptr, std::move(downloadProgress),
                                          std::move(success), std::move(failure)));
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::HEAD(std::string_view URLString, const ns::Id& parameters,
                                                            HeadSuccessBlock success, FailureBlock failure) {
    SuccessBlock taskOnly;
    if (success) {
        taskOnly = [success = std::move(success)](const ns::Ref<ns::URLSessionDataTask>& task, const ns::Id&) {
            success(task);
        };
    }
    return resumed(dataTaskWithHTTPMethod("HEAD", URLString, parameters, nullptr, nullptr, std::move(taskOnly),
                                          std::move(failure)));
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::POST(std::string_view URLString, const ns::Id& parameters,
                                                            SuccessBlock success, FailureBlock failure) {
    return POST(URLString, parameters, nullptr, std::move(success), std::move(failure));
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::POST(std::string_view URLString, const ns::Id& parameters,
                                                            ProgressBlock uploadProgress, SuccessBlock success,
                                                            FailureBlock failure) {
    return resumed(dataTaskWithHTTPMethod("POST", URLString, parameters, std::move(uploadProgress), nullptr,
                                          std::move(success), std::move(failure)));
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::POSTConstructingBody(std::string_view URLString,
                                                                            const ns::Id& parameters,
                                                                            ConstructingBodyBlock block,
                                                                            SuccessBlock success, FailureBlock failure) {
    return POSTConstructingBody(URLString, parameters, std::move(block), nullptr, std::move(success), std::move(failure));
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::POSTConstructingBody(std::string_view URLString,
                                                                            const ns::Id& parameters,
                                                                            ConstructingBodyBlock block,
                                                                            ProgressBlock uploadProgress,
                                                                            SuccessBlock success, FailureBlock failure) {
    auto url = ns::URL::make(URLString, baseURL_);
    if (!url) {
        failEarly(failure, ns::makeURLError(ns::URLErrorBadURL, nullptr));
        return nullptr;
    }
    ns::Ref<ns::Error> serializationError;
    ns::Ref<ns::MutableURLRequest> request;
    if (requestSerializer_) {
        request = requestSerializer_->multipartFormRequestWithMethod("POST", url->absoluteString()->utf8(), parameters,
                                                                     block, &serializationError);
    }
    if (serializationError) {
        failEarly(failure, serializationError);
        return nullptr;
    }
    auto holder = std::make_shared<ns::Ref<ns::URLSessionDataTask>>();
    *holder = uploadTaskWithStreamedRequest(request, std::move(uploadProgress),
                                            completionFor(holder, std::move(success), std::move(failure)));
    return resumed(*holder);
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::PUT(std::string_view URLString, const ns::Id& parameters,
                                                           SuccessBlock success, FailureBlock failure) {
    return resumed(
        dataTaskWithHTTPMethod("PUT", URLString, parameters, nullptr, nullptr, std::move(success), std::move(failure)));
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::PATCH(std::string_view URLString, const ns::Id& parameters,
                                                             SuccessBlock success, FailureBlock failure) {
    return resumed(
        dataTaskWithHTTPMethod("PATCH", URLString, parameters, nullptr, nullptr, std::move(success), std::move(failure)));
}

ns::Ref<ns::URLSessionDataTask> SDPHTTPSessionManager::DELETE(std::string_view URLString, const ns::Id& parameters,
                                                              SuccessBlock success, FailureBlock failure) {
    return resumed(dataTaskWithHTTPMethod("DELETE", URLString, parameters, nullptr, nullptr, std::move(success),
                                          std::move(failure)));
}

// ---- Archiving, copying, description ----

void SDPHTTPSessionManager::encodeWithCoder(ns::KeyedArchiver& coder) const {
    SDPURLSessionManager::encodeWithCoder(coder);
    coder.encodeObject(baseURL_, "baseURL");
    auto configuration = session() ? session()->configuration() : sessionConfiguration();
    if (dynamic_cast<const ns::Coding*>(configuration.get())) {
        coder.encodeObject(configuration, "sessionConfiguration");
    } else if (configuration) {
        coder.encodeObject(configuration->identifier(), "identifier");
    }
    coder.encodeObject(requestSerializer_, "requestSerializer");
    coder.encodeObject(SDPURLSessionManager::responseSerializer(), "responseSerializer");
    coder.encodeObject(securityPolicy(), "securityPolicy");
}

bool SDPHTTPSessionManager::initWithCoder(ns::KeyedUnarchiver& coder) {
    auto url = coder.decodeObjectOfClass<ns::URL>("baseURL");
    auto configuration = coder.decodeObjectOfClass<ns::URLSessionConfiguration>("sessionConfiguration");
    if (!configuration) {
        if (auto identifier = coder.decodeObjectOfClass<ns::String>("identifier")) {
            configuration = ns::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(identifier->utf8());
        }
    }
    initWithBaseURL(url, configuration);
    // Both serializers are taken as decoded, even when absent: a manager
    // without them builds no request and reports no object.
    requestSerializer_ = coder.decodeObjectOfClass<SDPHTTPRequestSerializer>("requestSerializer");
    SDPURLSessionManager::setResponseSerializer(coder.decodeObjectOfClass<SDPHTTPResponseSerializer>("responseSerializer"));
    if (auto policy = coder.decodeObjectOfClass<SDPSecurityPolicy>("securityPolicy")) setSecurityPolicy(policy);
    return true;
}

ns::Id SDPHTTPSessionManager::copy() const {
    auto manager = ns::cast<SDPHTTPSessionManager>(classObject()->create());
    manager->initWithBaseURL(baseURL_, session()->configuration());
    if (requestSerializer_) manager->setRequestSerializer(ns::cast<SDPHTTPRequestSerializer>(requestSerializer_->copy()));
    if (auto serializer = SDPURLSessionManager::responseSerializer()) {
        manager->SDPURLSessionManager::setResponseSerializer(serializer->copy());
    }
    if (auto policy = securityPolicy()) manager->setSecurityPolicy(ns::cast<SDPSecurityPolicy>(policy->copy()));
    return manager;
}

std::string SDPHTTPSessionManager::description() const {
    return ns::format("<%@: %p, baseURL: %@, session: %@, operationQueue: %@>", className(),
                      static_cast<const void*>(this), baseURL_ ? baseURL_->absoluteString() : nullptr, session(),
                      operationQueue());
}

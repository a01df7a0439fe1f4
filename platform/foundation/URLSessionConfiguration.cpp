#include "platform/foundation/URLSessionConfiguration.h"

#include "platform/foundation/Format.h"

namespace ns {

RT_DEFINE_CLASS(URLSessionConfiguration, Object, "NSURLSessionConfiguration")

Ref<URLSessionConfiguration> URLSessionConfiguration::defaultSessionConfiguration() {
    auto config = std::make_shared<URLSessionConfiguration>();
    config->cache_ = ns::URLCache::sharedURLCache();
    config->cookieStorage_ = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
    return config;
}

Ref<URLSessionConfiguration> URLSessionConfiguration::ephemeralSessionConfiguration() {
    auto config = std::make_shared<URLSessionConfiguration>();
    config->cache_ = ns::URLCache::make(10 * 1024 * 1024, 0, {});
    config->cookieStorage_ = std::make_shared<ns::HTTPCookieStorage>();
    config->ephemeral_ = true;
    return config;
}

Ref<URLSessionConfiguration> URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
    std::string identifier) {
    auto config = defaultSessionConfiguration();
    config->identifier_ = String::make(std::move(identifier));
    return config;
}

std::string URLSessionConfiguration::description() const {
    return format("<%@: %p>%s", className(), static_cast<const void*>(this), ephemeral_ ? " (ephemeral)" : "");
}

Id URLSessionConfiguration::copy() const {
    auto config = std::make_shared<URLSessionConfiguration>();
    config->identifier_ = identifier_;
    config->timeoutForRequest_ = timeoutForRequest_;
    config->timeoutForResource_ = timeoutForResource_;
    config->maximumResponseDataLength_ = maximumResponseDataLength_;
    config->additionalHeaders_ = additionalHeaders_ ? cast<Dictionary>(additionalHeaders_->copy()) : nullptr;
    config->requestCachePolicy_ = requestCachePolicy_;
    config->cache_ = cache_;
    config->cookieStorage_ = cookieStorage_;
    config->shouldSetCookies_ = shouldSetCookies_;
    config->cookieAcceptPolicy_ = cookieAcceptPolicy_;
    config->maxConnectionsPerHost_ = maxConnectionsPerHost_;
    config->shouldUsePipelining_ = shouldUsePipelining_;
    config->allowsCellularAccess_ = allowsCellularAccess_;
    config->networkServiceType_ = networkServiceType_;
    config->additionalAnchors_ = additionalAnchors_;
    config->ephemeral_ = ephemeral_;
    return config;
}

}  // namespace ns

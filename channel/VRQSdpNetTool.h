#pragma once
// The plain transport: form posts (or query-string GETs) with JSON replies,
// through the HTTP client; replies arrive on the main queue.

#include <functional>
#include <string_view>

#include "net/SDPHTTPSessionManager.h"

class VRQSdpNetTool : public SDPHTTPSessionManager {
    RT_DECLARE_CLASS(VRQSdpNetTool)
public:
    using Success = std::function<void(const ns::Id& reply)>;
    using Failure = std::function<void(const ns::Ref<ns::Error>& error)>;
    enum Method { Post = 0, Get = 1 };

    // Made once: no base address; JSON replies also as "text/html".
    static ns::Ref<VRQSdpNetTool> sharedTool();

    // Any other method code sends nothing and calls nothing back.
    void requestWithURLString(std::string_view URLString, const ns::Id& parameters, int method, Success success,
                              Failure failure);
    // A POST to the API base address followed by `path`.
    void PostWithURLString(std::string_view path, const ns::Id& parameters, Success success, Failure failure);
};

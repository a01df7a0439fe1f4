#include "channel/VRQSdpNetTool.h"

#include "channel/TVAPIStrings.h"
#include "channel/TVFormManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"

RT_DEFINE_CLASS(VRQSdpNetTool, SDPHTTPSessionManager, "VRQSdpNetTool")

namespace {

std::string errorText(const ns::Ref<ns::Error>& error) {
    return error ? error->description() : std::string("(null)");
}

}  // namespace

ns::Ref<VRQSdpNetTool> VRQSdpNetTool::sharedTool() {
    static const ns::Ref<VRQSdpNetTool> tool = [] {
        auto made = SDPHTTPSessionManager::manager<VRQSdpNetTool>();
        TVFormManager::acceptHTML(*made);
        return made;
    }();
    return tool;
}

void VRQSdpNetTool::requestWithURLString(std::string_view URLString, const ns::Id& parameters, int method,
                                         Success success, Failure failure) {
    auto onSuccess = [success](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id& reply) {
        if (success) success(reply);
    };
    if (method == Post) {
        POST(URLString, parameters, onSuccess, [failure](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>& error) {
            ns::log("error = %@", errorText(error));
            if (failure) failure(error);
        });
    } else if (method == Get) {
        GET(URLString, parameters, onSuccess, [failure](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>& error) {
            ns::log("%@", errorText(error));
            if (failure) failure(error);
        });
    }
}

void VRQSdpNetTool::PostWithURLString(std::string_view path, const ns::Id& parameters, Success success,
                                      Failure failure) {
    requestWithURLString(TVAPIStrings::endpoint(path), parameters, Post, std::move(success),
                         [failure](const ns::Ref<ns::Error>& error) {
                             ns::log("error = %@", errorText(error));
                             if (failure) failure(error);
                         });
}

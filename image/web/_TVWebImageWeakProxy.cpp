#include "image/web/_TVWebImageWeakProxy.h"

#include "image/web/TVWebImageOperation.h"

bool _TVWebImageWeakProxy::connectionShouldUseCredentialStorage(ns::URLConnection&) {
    auto operation = target();
    return operation && operation->shouldUseCredentialStorage();
}

bool _TVWebImageWeakProxy::willSendRequestForAuthenticationChallenge(
    ns::URLConnection&, const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
    auto operation = target();
    return operation && operation->willSendRequestForAuthenticationChallenge(challenge);
}

ns::Ref<ns::CachedURLResponse> _TVWebImageWeakProxy::willCacheResponse(ns::URLConnection&,
                                                                       const ns::Ref<ns::CachedURLResponse>& cached) {
    auto operation = target();
    return operation ? operation->willCacheResponse(cached) : nullptr;
}

void _TVWebImageWeakProxy::didReceiveResponse(ns::URLConnection& connection, const ns::Ref<ns::URLResponse>& response) {
    if (auto operation = target()) operation->didReceiveResponse(connection, response);
}

void _TVWebImageWeakProxy::didReceiveData(ns::URLConnection&, const ns::Ref<ns::Data>& data) {
    if (auto operation = target()) operation->didReceiveData(data);
}

void _TVWebImageWeakProxy::connectionDidFinishLoading(ns::URLConnection&) {
    if (auto operation = target()) operation->connectionDidFinishLoading();
}

void _TVWebImageWeakProxy::didFailWithError(ns::URLConnection&, const ns::Ref<ns::Error>& error) {
    if (auto operation = target()) operation->didFailWithError(error);
}

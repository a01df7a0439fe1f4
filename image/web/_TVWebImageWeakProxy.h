#pragma once
// The connection's delegate on behalf of a web-image operation. A
// connection holds its delegate until it ends; holding the operation only
// weakly through this proxy keeps the connection from keeping the operation
// alive. Calls to a proxy whose operation is gone do nothing (and answer
// nil or no).
#include <memory>

#include "platform/foundation/URLConnection.h"

class TVWebImageOperation;

class _TVWebImageWeakProxy : public ns::URLConnectionDataDelegate {
public:
    explicit _TVWebImageWeakProxy(std::weak_ptr<TVWebImageOperation> target) : target_(std::move(target)) {}
    static std::shared_ptr<_TVWebImageWeakProxy> proxyWithTarget(std::weak_ptr<TVWebImageOperation> target) {
        return std::make_shared<_TVWebImageWeakProxy>(std::move(target));
    }
    std::shared_ptr<TVWebImageOperation> target() const { return target_.lock(); }

    bool connectionShouldUseCredentialStorage(ns::URLConnection& connection) override;
    bool willSendRequestForAuthenticationChallenge(ns::URLConnection& connection,
                                                   const ns::Ref<ns::URLAuthenticationChallenge>& challenge) override;
    ns::Ref<ns::CachedURLResponse> willCacheResponse(ns::URLConnection& connection,
                                                     const ns::Ref<ns::CachedURLResponse>& cached) override;
    void didReceiveResponse(ns::URLConnection& connection, const ns::Ref<ns::URLResponse>& response) override;
    void didReceiveData(ns::URLConnection& connection, const ns::Ref<ns::Data>& data) override;
    void connectionDidFinishLoading(ns::URLConnection& connection) override;
    void didFailWithError(ns::URLConnection& connection, const ns::Ref<ns::Error>& error) override;

private:
    std::weak_ptr<TVWebImageOperation> target_;
};

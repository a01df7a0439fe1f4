#pragma once
// A server asking to be trusted or asking who the client is. Sessions answer
// challenges through their delegate's completion handler; connections
// through the challenge's sender.

#include <cstdint>
#include <memory>

#include "platform/foundation/Error.h"
#include "platform/foundation/URLCredential.h"
#include "platform/foundation/URLProtectionSpace.h"
#include "platform/foundation/URLResponse.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class URLAuthenticationChallenge;

// How a connection's delegate answers a challenge; exactly one call per
// challenge counts, later ones are ignored.
class URLAuthenticationChallengeSender {
public:
    virtual ~URLAuthenticationChallengeSender() = default;
    virtual void useCredential(const Ref<URLCredential>& credential, const URLAuthenticationChallenge& challenge) = 0;
    virtual void continueWithoutCredential(const URLAuthenticationChallenge& challenge) = 0;
    virtual void cancelAuthenticationChallenge(const URLAuthenticationChallenge& challenge) = 0;
    virtual void performDefaultHandling(const URLAuthenticationChallenge& challenge) = 0;
    virtual void rejectProtectionSpaceAndContinue(const URLAuthenticationChallenge& challenge) = 0;
};

class URLAuthenticationChallenge : public Object {
    RT_DECLARE_CLASS(URLAuthenticationChallenge)
public:
    URLAuthenticationChallenge() = default;
    static Ref<URLAuthenticationChallenge> make(Ref<URLProtectionSpace> space, Ref<URLCredential> proposedCredential,
                                                int64_t previousFailureCount, Ref<URLResponse> failureResponse,
                                                Ref<Error> error,
                                                std::shared_ptr<URLAuthenticationChallengeSender> sender = nullptr);
    // The same challenge answered through another sender.
    static Ref<URLAuthenticationChallenge> make(const URLAuthenticationChallenge& challenge,
                                                std::shared_ptr<URLAuthenticationChallengeSender> sender);

    const Ref<URLProtectionSpace>& protectionSpace() const { return space_; }
    const Ref<URLCredential>& proposedCredential() const { return proposedCredential_; }
    int64_t previousFailureCount() const { return previousFailureCount_; }
    const Ref<URLResponse>& failureResponse() const { return failureResponse_; }
    const Ref<Error>& error() const { return error_; }
    // nil for challenges of a session.
    const std::shared_ptr<URLAuthenticationChallengeSender>& sender() const { return sender_; }

private:
    Ref<URLProtectionSpace> space_;
    Ref<URLCredential> proposedCredential_;
    int64_t previousFailureCount_ = 0;
    Ref<URLResponse> failureResponse_;
    Ref<Error> error_;
    std::shared_ptr<URLAuthenticationChallengeSender> sender_;
};

}  // namespace ns

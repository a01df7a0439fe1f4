#include "platform/foundation/URLAuthenticationChallenge.h"

namespace ns {

RT_DEFINE_CLASS(URLAuthenticationChallenge, Object, "NSURLAuthenticationChallenge")

Ref<URLAuthenticationChallenge> URLAuthenticationChallenge::make(
    Ref<URLProtectionSpace> space, Ref<URLCredential> proposedCredential, int64_t previousFailureCount,
    Ref<URLResponse> failureResponse, Ref<Error> error, std::shared_ptr<URLAuthenticationChallengeSender> sender) {
    auto challenge = std::make_shared<URLAuthenticationChallenge>();
    challenge->space_ = std::move(space);
    challenge->proposedCredential_ = std::move(proposedCredential);
    challenge->previousFailureCount_ = previousFailureCount;
    challenge->failureResponse_ = std::move(failureResponse);
    challenge->error_ = std::move(error);
    challenge->sender_ = std::move(sender);
    return challenge;
}

Ref<URLAuthenticationChallenge> URLAuthenticationChallenge::make(
    const URLAuthenticationChallenge& challenge, std::shared_ptr<URLAuthenticationChallengeSender> sender) {
    return make(challenge.space_, challenge.proposedCredential_, challenge.previousFailureCount_,
                challenge.failureResponse_, challenge.error_, std::move(sender));
}

}  // namespace ns

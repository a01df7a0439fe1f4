#pragma once
// The channel SDK's main transport: requests and replies both in the wire
// format (see TVCodecTransport).

#include <string>
#include <string_view>

#include "channel/TVCodecTransport.h"

class NetWorkManager : public TVCodecTransport {
    RT_DECLARE_CLASS(NetWorkManager)
public:
    static ns::Ref<NetWorkManager> sharedInstance();
    static void distroyInstance();

    // The API base address followed by `path`.
    void PostCouponURL(std::string_view path, const ns::Ref<ns::Dictionary>& parameters, Success success,
                       Failure failure);
    // Every "btsdk" replaced by the bundle identifier without its dots.
    static std::string relaceurlString(std::string_view text);
};

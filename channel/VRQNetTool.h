#pragma once
// The transport whose replies come gzipped only (the sub-account list and
// add); requests go in the full wire format.

#include "channel/TVCodecTransport.h"

class VRQNetTool : public TVCodecTransport {
    RT_DECLARE_CLASS(VRQNetTool)
public:
    static ns::Ref<VRQNetTool> sharedInstance();
    static void distroyInstance();

protected:
    ns::Id decode(const ns::Ref<ns::Data>& body) const override;
};

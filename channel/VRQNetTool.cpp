#include "channel/VRQNetTool.h"

#include "channel/TVSingleton.h"
#include "channel/DecodeGzipBase64.h"

RT_DEFINE_CLASS(VRQNetTool, TVCodecTransport, "VRQNetTool")

ns::Ref<VRQNetTool> VRQNetTool::sharedInstance() {
    return TVSingleton<VRQNetTool>::shared();
}

void VRQNetTool::distroyInstance() {
    TVSingleton<VRQNetTool>::destroy();
}

ns::Id VRQNetTool::decode(const ns::Ref<ns::Data>& body) const {
    return DecodeGzipBase64::vrq_decodingJSON(body);
}

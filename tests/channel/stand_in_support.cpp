#include "stand_in_support.h"

#include "channel/DecodeGzipBase64.h"
#include "channel/vrqBXNGzipUtillity.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"

namespace channel_test {

ns::Ref<ns::Dictionary> StandInTest::lastRequest(const std::string& endpoint) {
    auto requests = server.http().requests();
    for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
        if (it->path != "/sdkapicoupon/" + endpoint) continue;
        // Requests break their base64 into lines: undo the gzip and the
        // substitution here and drop the line breaks before decoding.
        auto framed = vrqBXNGzipUtillity::uncompressZippedData(ns::Data::withBytes(it->body));
        if (!framed) return nullptr;
        std::string text(framed->view());
        auto units = DecodeGzipBase64::unsubstitute(std::string_view(text).substr(1, text.size() - 2));
        std::string base64;
        for (char16_t unit : units)
            if (unit != '\r' && unit != '\n') base64 += static_cast<char>(unit);
        auto json = ns::Data::withBase64EncodedString(base64);
        return json ? ns::cast<ns::Dictionary>(ns::JSONSerialization::JSONObjectWithData(json, 0)) : nullptr;
    }
    return nullptr;
}

}  // namespace channel_test

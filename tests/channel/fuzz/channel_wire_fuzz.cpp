// libFuzzer target for the channel wire codec's two decoders. The first
// byte picks the path: bit 0 the gzip-only decoder instead of the full one,
// bit 1 gzips the rest first, so the framing, substitution, base64 and JSON
// steps see the input rather than inflate alone. Whatever the full decoder
// accepts as a dictionary must encode again.

#include <cstddef>
#include <cstdint>

#include "channel/DecodeGzipBase64.h"
#include "channel/vrqBXNGzipUtillity.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "tests/fuzz_check.h"

namespace {

void check(bool condition, const char* what) { fuzz::check(condition, "channel_wire_fuzz", what); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool gzipOnly = data[0] & 1;
    const bool packFirst = data[0] & 2;
    auto body = ns::Data::withBytes(data + 1, size - 1);
    if (packFirst) {
        auto packed = vrqBXNGzipUtillity::gzipData(body.get());
        if (!packed) return 0;  // empty input
        check(vrqBXNGzipUtillity::uncompressZippedData(packed)->isEqualToData(body.get()), "gzip round trip");
        body = packed;
    }
    ns::Id reply = gzipOnly ? DecodeGzipBase64::vrq_decodingJSON(body) : DecodeGzipBase64::decodingJSON(body);
    if (auto dictionary = ns::cast<ns::Dictionary>(reply); dictionary && !gzipOnly)
        check(DecodeGzipBase64::codingJSON(dictionary) != nullptr, "a decoded dictionary encodes again");
    return 0;
}

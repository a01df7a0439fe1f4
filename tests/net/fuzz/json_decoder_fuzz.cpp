// libFuzzer target for the JSON decoder. The first byte picks the parse
// options; the rest is the document. Whatever the decoder accepts must
// encode, and the encoded text must decode back to an equal tree.

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/JKCodec.h"
#include "net/JSONDecoder.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "tests/fuzz_check.h"

namespace {

void check(bool condition, const char* what) { fuzz::check(condition, "json_decoder_fuzz", what); }

ns::Ref<ns::Data> encode(const ns::Id& value, JKSerializeOptionFlags options) {
    if (auto array = ns::cast<ns::Array>(value)) return JKCodec::JSONDataWithOptions(*array, options);
    if (auto dictionary = ns::cast<ns::Dictionary>(value)) return JKCodec::JSONDataWithOptions(*dictionary, options);
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const JKParseOptionFlags options = data[0] & JKParseOptionValidFlags;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    JSONDecoder decoder(options);
    ns::Ref<ns::Error> error;
    ns::Id value = decoder.objectWithUTF8String(text, length, &error);
    check(value || error, "a failed parse must report an error");
    ns::Id again = decoder.mutableObjectWithUTF8String(text, length);
    check(!value == !again, "the mutable parse must agree with the immutable one");
    if (!value) return 0;

    // Comments, Unicode newlines and trailing text never reach the encoder's
    // output, so its text must parse strictly.
    for (JKSerializeOptionFlags form : {JKSerializeOptionNone, JKSerializeFlagPretty | JKSerializeFlagEscapeUnicode}) {
        ns::Ref<ns::Data> encoded = encode(value, form);
        check(encoded != nullptr, "an accepted document must encode");
        ns::Id back = JKCodec::objectFromJSONData(*encoded);
        check(back != nullptr, "encoded text must decode");
        check(back->isEqual(value), "decode(encode(x)) must equal x");
    }
    return 0;
}

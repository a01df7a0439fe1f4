// decode(encode(x)) == x on generated trees of everything the decoder
// accepts, through every text form the encoder writes.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "net/JKCodec.h"
#include "net/JKDictionary.h"
#include "net/JSONDecoder.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Unicode.h"

namespace {

class TreeGenerator {
public:
    explicit TreeGenerator(uint32_t seed) : random_(seed) {}

    ns::Id container(int depth) { return pick(2) ? array(depth) : dictionary(depth); }

private:
    uint64_t pick(uint64_t n) { return std::uniform_int_distribution<uint64_t>(0, n - 1)(random_); }

    ns::Id value(int depth) {
        switch (pick(depth > 0 ? 8 : 6)) {
            case 0: return string();
            case 1: return integer();
            case 2: return real();
            case 3: return pick(2) ? ns::Number::True() : ns::Number::False();
            case 4: return ns::Null::null();
            case 5: return string();
            case 6: return array(depth - 1);
            default: return dictionary(depth - 1);
        }
    }

    ns::Id array(int depth) {
        auto a = ns::MutableArray::make();
        for (uint64_t n = pick(7); n > 0; --n) a->addObject(value(depth));
        return a;
    }

    ns::Id dictionary(int depth) {
        auto d = ns::MutableDictionary::make();
        for (uint64_t n = pick(7); n > 0; --n) d->setObjectForKey(value(depth), ns::Id(string()));
        return d;
    }

    // Any character the decoder accepts back: no U+0000, no surrogates, no
    // non-characters; ASCII controls, quotes, slashes and backslashes often.
    char32_t character() {
        switch (pick(6)) {
            case 0: return char32_t(1 + pick(0x1F));
            case 1: return U"\"\\/\b\f\n\r\t"[pick(8)];
            case 2: return char32_t(0x20 + pick(0x5F));
            case 3: return char32_t(0x80 + pick(0x780));
            case 4: {
                char32_t c;
                do c = char32_t(0x800 + pick(0xF800)); while (ns::unicode::isSurrogate(c) || (c >= 0xFDD0 && c <= 0xFDEF) || c >= 0xFFFE);
                return c;
            }
            default: {
                char32_t c;
                do c = char32_t(0x10000 + pick(0x100000)); while ((c & 0xFFFE) == 0xFFFE);
                return c;
            }
        }
    }

    ns::Ref<ns::String> string() {
        std::string text;
        for (uint64_t n = pick(12); n > 0; --n) ns::unicode::append(text, character());
        return ns::str(text);
    }

    ns::Id integer() {
        switch (pick(4)) {
            case 0: return ns::num(int64_t(pick(100)) - 50);
            case 1: return ns::num(int64_t(random_()) - int64_t(random_() >> 1));
            case 2: return ns::Number::withUnsignedLongLong(uint64_t(INT64_MAX) + 1 + pick(uint64_t(INT64_MAX)));
            default: return pick(2) ? ns::num(INT64_MIN) : ns::Number::withUnsignedLongLong(UINT64_MAX);
        }
    }

    ns::Id real() {
        switch (pick(4)) {
            case 0: return ns::Number::withDouble(double(int64_t(pick(2000)) - 1000));  // integral
            case 1: return ns::Number::withDouble(-0.0);
            case 2: return ns::Number::withDouble(std::uniform_real_distribution<double>(-1e6, 1e6)(random_));
            default: {
                // Any normal double, from raw bits.
                double d;
                do {
                    uint64_t bits = (uint64_t(random_()) << 32) | random_();
                    std::memcpy(&d, &bits, sizeof d);
                } while (!std::isfinite(d) || (d != 0 && std::fabs(d) < DBL_MIN));
                return ns::Number::withDouble(d);
            }
        }
    }

    std::mt19937 random_;
};

TEST(JsonRoundTrip, GeneratedTreesComeBackEqual) {
    const JKSerializeOptionFlags forms[] = {
        JKSerializeOptionNone,
        JKSerializeFlagPretty,
        JKSerializeFlagEscapeUnicode | JKSerializeFlagEscapeSlash,
        JKSerializeFlagPretty | JKSerializeFlagEscapeUnicode,
    };
    JSONDecoder reused;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        TreeGenerator generator(seed);
        ns::Id tree = generator.container(4);
        for (JKSerializeOptionFlags form : forms) {
            ns::Ref<ns::Error> error;
            auto text = ns::cast<ns::Array>(tree) ? JKCodec::JSONDataWithOptions(*ns::cast<ns::Array>(tree), form, &error)
                                                  : JKCodec::JSONDataWithOptions(*ns::cast<ns::Dictionary>(tree), form,
                                                                                 &error);
            ASSERT_TRUE(text) << "seed " << seed << ": " << (error ? error->localizedDescription() : "");
            ns::Id back = JKCodec::objectFromJSONData(*text);
            ASSERT_TRUE(back) << "seed " << seed << " form " << form << "\n" << text->view();
            EXPECT_TRUE(back->isEqual(tree)) << "seed " << seed << " form " << form << "\n" << text->view();
            // A decoder that keeps its cache across documents gives the same.
            ns::Id again = reused.mutableObjectWithData(text);
            ASSERT_TRUE(again);
            EXPECT_TRUE(again->isEqual(tree)) << "seed " << seed;
        }
    }
}

TEST(JsonRoundTrip, PrettyTextIsStableThroughTheDecoder) {
    for (uint32_t seed = 1000; seed < 1100; ++seed) {
        ns::Id tree = TreeGenerator(seed).container(3);
        auto pretty = [](const ns::Id& value) {
            if (auto a = ns::cast<ns::Array>(value)) return JKCodec::JSONStringWithOptions(*a, JKSerializeFlagPretty);
            return JKCodec::JSONStringWithOptions(*ns::cast<ns::Dictionary>(value), JKSerializeFlagPretty);
        };
        auto first = pretty(tree);
        ASSERT_TRUE(first);
        auto decoded = JKCodec::objectFromJSONString(*first);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(pretty(decoded)->utf8(), first->utf8()) << "seed " << seed;
    }
}

TEST(JsonRoundTrip, IntegralDoublesComeBackAsIntegers) {
    auto tree = ns::Array::make({ns::Number::withDouble(3.0), ns::Number::withDouble(0.25)});
    auto back = ns::cast<ns::Array>(JKCodec::objectFromJSONString(*JKCodec::JSONString(*tree)));
    ASSERT_TRUE(back);
    EXPECT_STREQ(ns::cast<ns::Number>(back->objectAtIndex(0))->objCType(), "q");
    EXPECT_STREQ(ns::cast<ns::Number>(back->objectAtIndex(1))->objCType(), "d");
    EXPECT_TRUE(back->isEqual(tree));
}

TEST(JsonRoundTrip, PageCallbacksSurviveTheirTrip) {
    // The shape the game page receives: {action, data} written compactly.
    auto data = ns::MutableDictionary::make();
    data->setObjectForKey(ns::str("10086"), "super_user_id");
    data->setObjectForKey(ns::str("tok/\xE4\xB8\xAD"), "token");
    auto callback = ns::MutableDictionary::make();
    callback->setObjectForKey(ns::str("loginNotify"), "action");
    callback->setObjectForKey(data, "data");
    auto text = JKCodec::JSONString(*callback);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->utf8(), "{\"action\":\"loginNotify\",\"data\":{\"super_user_id\":\"10086\",\"token\":\"tok/"
                            "\xE4\xB8\xAD\"}}");
    auto back = JKCodec::objectFromJSONStringWithParseOptions(*text, JKParseFlagLooseUnicode);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(callback));
}

}  // namespace

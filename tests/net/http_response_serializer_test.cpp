// Response validation and decoding: the status and content-type matrix,
// error chaining, the JSON, XML and property-list serializers, the compound
// serializer, copying and archiving.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "net/SDPCompoundResponseSerializer.h"
#include "net/SDPJSONResponseSerializer.h"
#include "net/SDPPropertyListResponseSerializer.h"
#include "net/SDPXMLParserResponseSerializer.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/XMLParser.h"
#include "tests/platform/foundation/json_records.h"

namespace {

ns::Ref<ns::HTTPURLResponse> response(int64_t status, const char* contentType,
                                      const char* url = "http://example.com/r") {
    auto headers = ns::MutableDictionary::make();
    if (contentType) headers->setObjectForKey(ns::str(contentType), "Content-Type");
    return ns::HTTPURLResponse::make(url ? ns::URL::make(url) : nullptr, status, "HTTP/1.1", headers);
}

ns::Ref<ns::Data> bytes(const std::string& text) { return ns::Data::withBytes(text); }

bool hasUnderlying(const ns::Ref<ns::Error>& error, int64_t code) {
    auto underlying = ns::cast<ns::Error>(error->userInfo()->objectForKey(ns::UnderlyingErrorKey));
    return underlying && underlying->code() == code;
}

TEST(HTTPResponseValidation, NoContentWithoutTypeGivesNothingAndNoError) {
    ns::Ref<ns::Error> error;
    EXPECT_FALSE(SDPJSONResponseSerializer::serializer()->responseObjectForResponse(response(204, nullptr),
                                                                                    ns::Data::make(), &error));
    EXPECT_FALSE(error);
}

TEST(HTTPResponseValidation, NotFoundWithJSONGivesTheObjectAndTheStatusError) {
    auto body = bytes(R"({"error":"missing"})");
    auto reply = response(404, "application/json; charset=utf-8");
    ns::Ref<ns::Error> error;
    auto object = SDPJSONResponseSerializer::serializer()->responseObjectForResponse(reply, body, &error);
    auto dictionary = ns::cast<ns::Dictionary>(object);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(ns::textOf(dictionary->objectForKey("error")), "missing");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), SDPURLResponseSerializationErrorDomain);
    EXPECT_EQ(error->code(), ns::URLErrorBadServerResponse);
    EXPECT_EQ(error->localizedDescription(), "Request failed: not found (404)");
    EXPECT_EQ(error->userInfo()->objectForKey(SDPNetworkingOperationFailingURLResponseErrorKey), reply);
    EXPECT_TRUE(ns::equal(error->userInfo()->objectForKey(SDPNetworkingOperationFailingURLResponseDataErrorKey), body));
    EXPECT_TRUE(ns::equal(error->userInfo()->objectForKey(ns::URLErrorFailingURLErrorKey), reply->URL()));
}

TEST(HTTPResponseValidation, HTMLIsRefusedUntilItsTypeIsAdded) {
    auto serializer = SDPJSONResponseSerializer::serializer();
    auto body = bytes(R"({"ok":1})");
    ns::Ref<ns::Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(response(200, "text/html"), body, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), SDPURLResponseSerializationErrorDomain);
    EXPECT_EQ(error->code(), ns::URLErrorCannotDecodeContentData);
    EXPECT_EQ(error->localizedDescription(), "Request failed: unacceptable content-type: text/html");
    EXPECT_FALSE(error->userInfo()->objectForKey(ns::UnderlyingErrorKey));

    auto types = ns::cast<ns::MutableSet>(serializer->acceptableContentTypes()->mutableCopy());
    types->addObject(ns::str("text/html"));
    serializer->setAcceptableContentTypes(types);
    types->removeAllObjects();
    EXPECT_EQ(serializer->acceptableContentTypes()->count(), 4u) << "the set is copied";
    error = nullptr;
    auto object =
        ns::cast<ns::Dictionary>(serializer->responseObjectForResponse(response(200, "text/html"), body, &error));
    EXPECT_FALSE(error);
    ASSERT_TRUE(object);
    EXPECT_EQ(ns::textOf(object->objectForKey("ok")), "1");
}

TEST(HTTPResponseValidation, BadStatusAndTypeChainTheStatusErrorOverTheTypeError) {
    ns::Ref<ns::Error> error;
    auto object = SDPJSONResponseSerializer::serializer()->responseObjectForResponse(response(500, "text/plain"),
                                                                                     bytes("{}"), &error);
    EXPECT_FALSE(object) << "a refused type stops decoding even under a status error";
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::URLErrorBadServerResponse);
    EXPECT_TRUE(hasUnderlying(error, ns::URLErrorCannotDecodeContentData));
    EXPECT_TRUE(SDPErrorOrUnderlyingErrorHasCodeInDomain(error, ns::URLErrorCannotDecodeContentData,
                                                         SDPURLResponseSerializationErrorDomain));
    EXPECT_FALSE(SDPErrorOrUnderlyingErrorHasCodeInDomain(error, ns::URLErrorCannotDecodeContentData, "other"));
}

TEST(HTTPResponseValidation, ErrorsAreMadeOnlyWhereThereIsSomethingToReport) {
    auto serializer = SDPHTTPResponseSerializer::serializer();
    serializer->setAcceptableContentTypes(ns::Set::make({ns::str("application/json")}));
    ns::Ref<ns::Error> error;
    // Wrong type but an empty body: invalid, yet no error to hand out.
    EXPECT_FALSE(serializer->validateResponse(response(200, "text/html"), ns::Data::make(), &error));
    EXPECT_FALSE(error);
    // No MIME type never matches a type list.
    EXPECT_FALSE(serializer->validateResponse(response(200, nullptr), bytes("x"), &error));
    EXPECT_TRUE(error);
    // Without a URL the status is not held against the response.
    error = nullptr;
    EXPECT_TRUE(serializer->validateResponse(response(503, "application/json", nullptr), bytes("{}"), &error));
    EXPECT_FALSE(error);
    // Responses that are not HTTP are not checked at all.
    auto plain = ns::URLResponse::make(ns::URL::make("file:///tmp/x"), ns::str("text/html"), 1, nullptr);
    EXPECT_TRUE(serializer->validateResponse(plain, bytes("x"), &error));
    EXPECT_TRUE(serializer->validateResponse(nullptr, bytes("x"), &error));
    // nil lists accept everything.
    serializer->setAcceptableContentTypes(nullptr);
    serializer->setAcceptableStatusCodes(nullptr);
    EXPECT_TRUE(serializer->validateResponse(response(999, "x/y"), bytes("x"), &error));
    EXPECT_FALSE(error);
}

TEST(HTTPResponseValidation, BaseSerializerHandsBackTheBodyWhateverTheOutcome) {
    auto serializer = SDPHTTPResponseSerializer::serializer();
    auto body = bytes("<raw>");
    ns::Ref<ns::Error> error;
    EXPECT_EQ(serializer->responseObjectForResponse(response(418, "text/plain"), body, &error), body);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::URLErrorBadServerResponse);
    EXPECT_EQ(serializer->responseObjectForResponse(response(200, "text/plain"), body, nullptr), body);
}

TEST(HTTPResponseValidation, ChainingKeepsAnExistingUnderlyingError) {
    auto inner = ns::Error::make("inner", 1);
    auto outer = ns::Error::make("outer", 2);
    auto chained = SDPErrorWithUnderlyingError(outer, inner);
    EXPECT_EQ(chained->domain(), "outer");
    EXPECT_TRUE(hasUnderlying(chained, 1));
    EXPECT_EQ(SDPErrorWithUnderlyingError(chained, ns::Error::make("third", 3)), chained);
    EXPECT_EQ(SDPErrorWithUnderlyingError(nullptr, inner), inner);
    EXPECT_EQ(SDPErrorWithUnderlyingError(outer, nullptr), outer);
}

TEST(HTTPJSONResponse, SpaceOrGarbageBodies) {
    auto serializer = SDPJSONResponseSerializer::serializer();
    ns::Ref<ns::Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(response(200, "application/json"), bytes(" "), &error));
    EXPECT_FALSE(error) << "a single space is no parse error";

    EXPECT_FALSE(serializer->responseObjectForResponse(response(200, "application/json"), bytes("{oops"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), ns::CocoaErrorDomain);
    EXPECT_EQ(error->code(), ns::JSONSerialization::ReadCorruptError);

    error = nullptr;
    EXPECT_FALSE(serializer->responseObjectForResponse(response(502, "text/json"), bytes("<html>"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), ns::CocoaErrorDomain) << "the parse error on top";
    EXPECT_TRUE(hasUnderlying(error, ns::URLErrorBadServerResponse));
}

TEST(HTTPJSONResponse, NullKeysAreRemovedRecursively) {
    auto serializer = SDPJSONResponseSerializer::serializer();
    serializer->setRemovesKeysWithNullValues(true);
    auto object = serializer->responseObjectForResponse(response(200, "application/json"),
                                                        bytes(R"({"a":null,"b":[{"c":null}],"d":[null,1]})"), nullptr);
    auto dictionary = ns::cast<ns::Dictionary>(object);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dictionary->count(), 2u);
    EXPECT_FALSE(dictionary->objectForKey("a"));
    auto b = ns::cast<ns::Array>(dictionary->objectForKey("b"));
    ASSERT_TRUE(b);
    ASSERT_EQ(b->count(), 1u);
    EXPECT_EQ(ns::cast<ns::Dictionary>(b->objectAtIndex(0))->count(), 0u);
    auto d = ns::cast<ns::Array>(dictionary->objectForKey("d"));
    ASSERT_EQ(d->count(), 2u);
    EXPECT_TRUE(ns::cast<ns::Null>(d->objectAtIndex(0))) << "nulls inside arrays stay";
    EXPECT_FALSE(ns::cast<ns::MutableDictionary>(object));

    auto mutableResult = SDPJSONObjectByRemovingKeysWithNullValues(
        ns::JSONSerialization::JSONObjectWithData(bytes(R"({"x":[{"y":null}]})"), 0), ns::JSONReadingMutableContainers);
    auto outer = ns::cast<ns::MutableDictionary>(mutableResult);
    ASSERT_TRUE(outer);
    EXPECT_TRUE(ns::cast<ns::MutableArray>(outer->objectForKey("x")));
    EXPECT_EQ(SDPJSONObjectByRemovingKeysWithNullValues(ns::str("s"), 0)->description(), "s");
}

// `copy` is `original` with every dictionary's null-valued keys left out,
// the others in their order with their values; arrays keep their nulls.
void expectWithoutNulls(const ns::Id& copy, const ns::Id& original, const std::string& path) {
    if (auto dictionary = ns::cast<ns::Dictionary>(original)) {
        auto copied = ns::cast<ns::Dictionary>(copy);
        ASSERT_TRUE(copied) << path;
        std::vector<std::string> kept;
        const auto originalKeys = dictionary->allKeys();
        for (const ns::Id& key : *originalKeys) {
            if (!ns::cast<ns::Null>(dictionary->objectForKey(key))) kept.push_back(ns::cast<ns::String>(key)->utf8());
        }
        std::vector<std::string> keys;
        const auto copiedKeys = copied->allKeys();
        for (const ns::Id& key : *copiedKeys) keys.push_back(ns::cast<ns::String>(key)->utf8());
        EXPECT_EQ(keys, kept) << path;
        ASSERT_EQ(copied->count(), kept.size()) << path;
        for (const std::string& key : kept) {
            expectWithoutNulls(copied->objectForKey(key), dictionary->objectForKey(key), path + "." + key);
        }
        return;
    }
    if (auto array = ns::cast<ns::Array>(original)) {
        auto copied = ns::cast<ns::Array>(copy);
        ASSERT_TRUE(copied) << path;
        ASSERT_EQ(copied->count(), array->count()) << path;
        for (uint64_t i = 0; i < array->count(); ++i) {
            expectWithoutNulls(copied->objectAtIndex(i), array->objectAtIndex(i), path + "[" + std::to_string(i) + "]");
        }
        return;
    }
    ASSERT_TRUE(copy) << path;
    EXPECT_TRUE(copy->isEqual(original)) << path << ": " << copy->description() << " for " << original->description();
}

// Records with the same keys, as a config table lists them, each leaving out
// its own null keys (some the same as another's, some none): every record
// keeps its own keys, each with its own value.
TEST(HTTPJSONResponse, SiblingRecordsLeavingOutDifferentNullKeysKeepTheirOwn) {
    auto with = [](uint64_t i, std::vector<std::pair<std::string, std::string>> changes) {
        std::string text = jsontest::record(i);
        for (const auto& [from, to] : changes) {
            const size_t at = text.find(from);
            EXPECT_NE(at, std::string::npos) << from;
            if (at != std::string::npos) text.replace(at, from.size(), to);
        }
        return text;
    };
    const std::vector<std::string> records = {
        jsontest::record(0),
        with(1, {{R"("name":"sword gem")", R"("name":null)"}}),
        with(2, {{R"("discount":null)", R"("discount":5)"}}),
        with(3, {{R"("price":512.25)", R"("price":null)"}, {R"("level":33)", R"("level":null)"}}),
        with(4, {{R"("name":"sword gem")", R"("name":null)"}}),
        with(5, {{R"("meta":{"server":4,"ts":1701234567,"flag":1})", R"("meta":null)"}}),
        with(6, {{R"("id":123456795)", R"("id":null)"}, {R"("server":4)", R"("server":null)"}}),
        with(7, {{R"("tags":["ring","bow"])", R"("tags":["ring",null])"}, {R"("vip":false)", R"("vip":null)"}}),
        jsontest::record(8),
        with(9, {{R"("discount":null)", R"("discount":5)"}, {R"("count":7)", R"("count":null)"}}),
    };
    std::string text = "[";
    for (const std::string& record : records) text += (text.size() > 1 ? "," : "") + record;
    text += "]";
    const auto original = ns::JSONSerialization::JSONObjectWithData(bytes(text), 0);
    ASSERT_TRUE(original);
    for (const uint64_t options : {uint64_t(0), uint64_t(ns::JSONReadingMutableContainers)}) {
        SCOPED_TRACE(options ? "mutable containers" : "immutable containers");
        auto serializer = SDPJSONResponseSerializer::serializerWithReadingOptions(options);
        serializer->setRemovesKeysWithNullValues(true);
        auto list = serializer->responseObjectForResponse(response(200, "application/json"), bytes(text), nullptr);
        expectWithoutNulls(list, original, "list");
        // A record whose keys and values disagree may end the process when
        // asked for a key.
        if (HasFailure()) return;
        // Spot checks of what the comparison covers.
        auto at = [&](uint64_t i) { return ns::cast<ns::Dictionary>(ns::cast<ns::Array>(list)->objectAtIndex(i)); };
        ASSERT_TRUE(at(1) && at(2) && at(3) && at(6));
        EXPECT_EQ(at(1)->count(), 7u);
        EXPECT_FALSE(at(1)->objectForKey("name"));
        EXPECT_EQ(ns::cast<ns::Number>(at(1)->objectForKey("id"))->longLongValue(), 123456790);
        EXPECT_EQ(ns::cast<ns::Number>(at(2)->objectForKey("discount"))->longLongValue(), 5);
        EXPECT_EQ(at(3)->count(), 6u);
        EXPECT_EQ(ns::cast<ns::Number>(at(3)->objectForKey("count"))->longLongValue(), 7);
        EXPECT_FALSE(at(6)->objectForKey("id"));
        EXPECT_EQ(ns::cast<ns::Dictionary>(at(6)->objectForKey("meta"))->count(), 2u);
    }
}

TEST(HTTPXMLResponse, HandsBackAParserNotYetRun) {
    struct Names : ns::XMLParserDelegate {
        std::vector<std::string> seen;
        void didStartElement(ns::XMLParser&, const ns::Ref<ns::String>& name, const ns::Ref<ns::String>&,
                             const ns::Ref<ns::String>&, const ns::Ref<ns::Dictionary>&) override {
            seen.push_back(name->utf8());
        }
    };
    auto serializer = SDPXMLParserResponseSerializer::serializer();
    ns::Ref<ns::Error> error;
    auto parser = ns::cast<ns::XMLParser>(
        serializer->responseObjectForResponse(response(200, "text/xml"), bytes("<a><b/></a>"), &error));
    ASSERT_TRUE(parser);
    EXPECT_FALSE(error);
    auto names = std::make_shared<Names>();
    parser->setDelegate(names);
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(names->seen, (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(serializer->responseObjectForResponse(response(200, "application/json"), bytes("<a/>"), &error));
    EXPECT_EQ(error->code(), ns::URLErrorCannotDecodeContentData);
}

TEST(HTTPPropertyListResponse, ReadsPropertyListsAndReportsBadOnes) {
    auto serializer = SDPPropertyListResponseSerializer::serializer();
    auto plist = ns::PropertyListSerialization::dataWithPropertyList(ns::Dictionary::make({{"k", ns::num(4)}}),
                                                                     ns::PropertyListFormat::XML);
    ns::Ref<ns::Error> error;
    auto object = ns::cast<ns::Dictionary>(
        serializer->responseObjectForResponse(response(200, "application/x-plist"), plist, &error));
    ASSERT_TRUE(object);
    EXPECT_FALSE(error);
    EXPECT_EQ(ns::textOf(object->objectForKey("k")), "4");
    EXPECT_FALSE(serializer->responseObjectForResponse(response(200, "application/x-plist"),
                                                       bytes("<?xml version=\"1.0\"?><plist><dict><key>a"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), ns::CocoaErrorDomain);
}

TEST(HTTPCompoundResponse, FirstSerializerWithAnObjectWins) {
    auto compound = SDPCompoundResponseSerializer::compoundSerializerWithResponseSerializers(ns::Array::make({
        ns::str("not a serializer"),
        SDPJSONResponseSerializer::serializer(),
        SDPXMLParserResponseSerializer::serializer(),
    }));
    ns::Ref<ns::Error> error;
    auto parser = compound->responseObjectForResponse(response(200, "application/xml"), bytes("<x/>"), &error);
    EXPECT_TRUE(ns::cast<ns::XMLParser>(parser));
    EXPECT_FALSE(error) << "the JSON serializer's refusal is not reported";

    auto json = compound->responseObjectForResponse(response(200, "application/json"), bytes("[1]"), &error);
    EXPECT_TRUE(ns::cast<ns::Array>(json));

    // Nobody takes it: the compound acts as the base serializer.
    auto body = bytes("raw");
    EXPECT_EQ(compound->responseObjectForResponse(response(404, "image/png"), body, &error), body);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::URLErrorBadServerResponse);
}

TEST(HTTPCompoundResponse, SerializerMakesAnEmptyCompound) {
    ns::Ref<SDPHTTPResponseSerializer> made = SDPCompoundResponseSerializer::serializer();
    auto compound = ns::cast<SDPCompoundResponseSerializer>(made);
    ASSERT_TRUE(compound) << "made a " << made->className();
    ASSERT_TRUE(compound->responseSerializers());
    EXPECT_EQ(compound->responseSerializers()->count(), 0u);
    EXPECT_FALSE(compound->acceptableContentTypes());

    // With no members it hands back the body; members set later decode.
    auto body = bytes("[1]");
    ns::Ref<ns::Error> error;
    EXPECT_EQ(compound->responseObjectForResponse(response(200, "application/json"), body, &error), body);
    EXPECT_FALSE(error);
    compound->setResponseSerializers(ns::Array::make({SDPJSONResponseSerializer::serializer()}));
    EXPECT_TRUE(ns::cast<ns::Array>(compound->responseObjectForResponse(response(200, "application/json"), body, &error)));
}

template <class T>
ns::Ref<T> roundTrip(const ns::Ref<T>& object) {
    ns::Ref<ns::Error> error;
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(object, true, &error);
    EXPECT_TRUE(data) << ns::textOf(error);
    if (!data) return nullptr;
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass<T>(data, &error);
    EXPECT_TRUE(decoded) << ns::textOf(error);
    return decoded;
}

TEST(HTTPResponseArchiving, SerializersComeBackWithTheirSettings) {
    auto json = SDPJSONResponseSerializer::serializerWithReadingOptions(ns::JSONReadingMutableContainers);
    json->setRemovesKeysWithNullValues(true);
    auto types = ns::cast<ns::MutableSet>(json->acceptableContentTypes()->mutableCopy());
    types->addObject(ns::str("text/html"));
    json->setAcceptableContentTypes(types);
    json->setAcceptableStatusCodes(ns::IndexSet::indexSetWithIndexesInRange({200, 5}));
    auto decodedJSON = roundTrip(json);
    ASSERT_TRUE(decodedJSON);
    EXPECT_EQ(decodedJSON->readingOptions(), uint64_t(ns::JSONReadingMutableContainers));
    EXPECT_TRUE(decodedJSON->removesKeysWithNullValues());
    EXPECT_TRUE(decodedJSON->acceptableContentTypes()->containsObject(ns::str("text/html")));
    EXPECT_TRUE(decodedJSON->acceptableStatusCodes()->isEqualToIndexSet(*json->acceptableStatusCodes()));

    auto plist = SDPPropertyListResponseSerializer::serializerWithFormat(ns::PropertyListFormat::XML,
                                                                         ns::PropertyListMutableContainers);
    auto decodedPlist = roundTrip(plist);
    ASSERT_TRUE(decodedPlist);
    EXPECT_EQ(decodedPlist->readOptions(), uint64_t(ns::PropertyListMutableContainers));
    EXPECT_EQ(decodedPlist->format(), ns::PropertyListFormat::XML);

    auto compound = SDPCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        ns::Array::make({json, SDPXMLParserResponseSerializer::serializer()}));
    auto decodedCompound = roundTrip(compound);
    ASSERT_TRUE(decodedCompound);
    ASSERT_EQ(decodedCompound->responseSerializers()->count(), 2u);
    EXPECT_EQ(decodedCompound->responseSerializers()->objectAtIndex(0)->className(), "SDPJSONResponseSerializer");
    EXPECT_EQ(decodedCompound->responseSerializers()->objectAtIndex(1)->className(), "SDPXMLParserResponseSerializer");

    auto base = SDPHTTPResponseSerializer::serializer();
    base->setAcceptableContentTypes(ns::Set::make({ns::str("a/b")}));
    auto decodedBase = roundTrip(base);
    ASSERT_TRUE(decodedBase);
    EXPECT_TRUE(decodedBase->acceptableContentTypes()->isEqualToSet(*base->acceptableContentTypes()));
}

TEST(HTTPResponseCopying, CopiesFollowEachClassesRule) {
    auto base = SDPXMLParserResponseSerializer::serializer();
    base->setAcceptableContentTypes(ns::Set::make({ns::str("x/y")}));
    auto baseCopy = ns::cast<SDPXMLParserResponseSerializer>(base->copy());
    ASSERT_TRUE(baseCopy);
    EXPECT_TRUE(baseCopy->acceptableContentTypes()->isEqualToSet(*base->acceptableContentTypes()));

    // The decoding serializers carry their options; codes and types start afresh.
    auto json = SDPJSONResponseSerializer::serializerWithReadingOptions(ns::JSONReadingMutableLeaves);
    json->setRemovesKeysWithNullValues(true);
    json->setAcceptableContentTypes(ns::Set::make({ns::str("text/html")}));
    auto jsonCopy = ns::cast<SDPJSONResponseSerializer>(json->copy());
    ASSERT_TRUE(jsonCopy);
    EXPECT_EQ(jsonCopy->readingOptions(), uint64_t(ns::JSONReadingMutableLeaves));
    EXPECT_TRUE(jsonCopy->removesKeysWithNullValues());
    EXPECT_TRUE(jsonCopy->acceptableContentTypes()->containsObject(ns::str("application/json")));

    auto compound = SDPCompoundResponseSerializer::compoundSerializerWithResponseSerializers(ns::Array::make({json}));
    compound->setAcceptableContentTypes(ns::Set::make({ns::str("q/r")}));
    auto compoundCopy = ns::cast<SDPCompoundResponseSerializer>(compound->copy());
    ASSERT_TRUE(compoundCopy);
    EXPECT_EQ(compoundCopy->responseSerializers()->objectAtIndex(0), json);
    EXPECT_FALSE(compoundCopy->acceptableContentTypes());
}

}  // namespace

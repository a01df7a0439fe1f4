// Building requests: default headers, observed settings, where parameters go,
// the JSON and property-list serializers, copying and archiving.

#include <gtest/gtest.h>

#include <cstdlib>

#include "net/SDPJSONRequestSerializer.h"
#include "net/SDPPropertyListRequestSerializer.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLError.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/Screen.h"
#include "tests/net/http_request_support.h"

namespace {

std::string bodyOf(const ns::Ref<ns::URLRequest>& request) {
    return request->HTTPBody() ? std::string(request->HTTPBody()->view()) : std::string("<nil>");
}

std::string header(const ns::Ref<ns::URLRequest>& request, std::string_view name) {
    auto value = request->valueForHTTPHeaderField(name);
    return value ? value->utf8() : std::string("<nil>");
}

class HTTPRequestSerializerTest : public ::testing::Test {
protected:
    void TearDown() override { ns::Locale::setPreferredLanguagesForTesting(std::nullopt); }

    ns::Ref<ns::MutableURLRequest> build(const ns::Ref<SDPHTTPRequestSerializer>& serializer, std::string_view method,
                                         std::string_view url, const ns::Id& parameters) {
        ns::Ref<ns::Error> error;
        auto request = serializer->requestWithMethod(method, url, parameters, &error);
        EXPECT_FALSE(error) << ns::textOf(error);
        return request;
    }
};

TEST_F(HTTPRequestSerializerTest, AcceptLanguageWeighsAtMostSixPreferredLanguages) {
    ns::Locale::setPreferredLanguagesForTesting(
        std::vector<std::string>{"zh-Hans-CN", "en-US", "fr", "de", "ja", "ko", "es", "it"});
    EXPECT_EQ(SDPHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("Accept-Language")->utf8(),
              "zh-Hans-CN;q=1, en-US;q=0.9, fr;q=0.8, de;q=0.7, ja;q=0.6, ko;q=0.5");

    ns::Locale::setPreferredLanguagesForTesting(std::vector<std::string>{"en-GB", "fr"});
    EXPECT_EQ(SDPHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("Accept-Language")->utf8(),
              "en-GB;q=1, fr;q=0.9");

    ns::Locale::setPreferredLanguagesForTesting(std::vector<std::string>{});
    EXPECT_EQ(SDPHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("Accept-Language")->utf8(), "");
}

TEST_F(HTTPRequestSerializerTest, UserAgentNamesAppDeviceSystemAndScaleInPlainASCII) {
    httptest::TemporaryFolder folder;
    auto info = ns::Dictionary::make({
        {"CFBundleExecutable", ns::str("Jeu Déjà Vu")},
        {"CFBundleIdentifier", ns::str("com.example.ignored")},
        {"CFBundleShortVersionString", ns::str("2.4.1")},
        {"CFBundleVersion", ns::str("77")},
    });
    ASSERT_TRUE(ns::writePropertyListToFile(info.get(), folder.file("Info.plist"), true));
    const char* previous = std::getenv("GAMEHOST_RESOURCES");
    const std::string saved = previous ? previous : "";
    ::setenv("GAMEHOST_RESOURCES", folder.file("").c_str(), 1);
    const ui::ScreenModel model = ui::Screen::mainScreen()->model();
    ui::ScreenModel phone = ui::ScreenModel::classicPhone();
    phone.deviceModel = "iPhone";
    phone.systemVersion = "14.2";
    ui::Screen::mainScreen()->setModel(phone);

    const std::string userAgent = SDPHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("User-Agent")->utf8();

    ui::Screen::mainScreen()->setModel(model);
    if (previous)
        ::setenv("GAMEHOST_RESOURCES", saved.c_str(), 1);
    else
        ::unsetenv("GAMEHOST_RESOURCES");
    EXPECT_EQ(userAgent, "Jeu Deja Vu/2.4.1 (iPhone; iOS 14.2; Scale/2.00)");
}

TEST_F(HTTPRequestSerializerTest, GetHeadAndDeleteCarryParametersInTheURL) {
    auto serializer = SDPHTTPRequestSerializer::serializer();
    auto parameters = ns::Dictionary::make({{"q", ns::str("a b")}, {"n", ns::num(2)}});
    for (const char* method : {"GET", "HEAD", "DELETE", "get"}) {
        auto request = build(serializer, method, "http://example.com/search", parameters);
        EXPECT_EQ(request->URL()->absoluteString()->utf8(), "http://example.com/search?n=2&q=a%20b") << method;
        EXPECT_FALSE(request->HTTPBody()) << method;
        EXPECT_EQ(header(request, "Content-Type"), "<nil>") << method;
    }
    auto existing = build(serializer, "GET", "http://example.com/search?page=3", parameters);
    EXPECT_EQ(existing->URL()->absoluteString()->utf8(), "http://example.com/search?page=3&n=2&q=a%20b");
    auto empty = build(serializer, "GET", "http://example.com/x", ns::Dictionary::make({}));
    EXPECT_EQ(empty->URL()->absoluteString()->utf8(), "http://example.com/x?");
    auto none = build(serializer, "GET", "http://example.com/x", nullptr);
    EXPECT_EQ(none->URL()->absoluteString()->utf8(), "http://example.com/x");
}

TEST_F(HTTPRequestSerializerTest, OtherMethodsSendAFormBody) {
    auto serializer = SDPHTTPRequestSerializer::serializer();
    auto post = build(serializer, "POST", "http://example.com/form",
                      ns::Dictionary::make({{"name", ns::str("Zoë & co")}, {"id", ns::num(9)}}));
    EXPECT_EQ(post->HTTPMethod()->utf8(), "POST");
    EXPECT_EQ(post->URL()->absoluteString()->utf8(), "http://example.com/form");
    EXPECT_EQ(header(post, "Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(bodyOf(post), "id=9&name=Zo%C3%AB%20%26%20co");

    auto bare = build(serializer, "POST", "http://example.com/form", nullptr);
    EXPECT_EQ(header(bare, "Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(bodyOf(bare), "");
    auto put = build(serializer, "PUT", "http://example.com/form", ns::Dictionary::make({}));
    EXPECT_EQ(bodyOf(put), "");
}

TEST_F(HTTPRequestSerializerTest, RequestHeadersWinOverDefaults) {
    auto serializer = SDPHTTPRequestSerializer::serializer();
    serializer->setValueForHTTPHeaderField("default-agent", "User-Agent");
    serializer->setValueForHTTPHeaderField("v1", "X-Custom");
    auto request = ns::MutableURLRequest::make(ns::URL::make("http://example.com/"));
    request->setHTTPMethod("POST");
    request->setValueForHTTPHeaderField("mine", "user-agent");
    request->setValueForHTTPHeaderField("text/plain", "Content-Type");
    ns::Ref<ns::Error> error;
    auto serialized =
        serializer->requestBySerializingRequest(request, ns::Dictionary::make({{"a", ns::num(1)}}), &error);
    ASSERT_TRUE(serialized);
    EXPECT_EQ(header(serialized, "User-Agent"), "mine");
    EXPECT_EQ(header(serialized, "X-Custom"), "v1");
    EXPECT_EQ(header(serialized, "Content-Type"), "text/plain");
    EXPECT_EQ(bodyOf(serialized), "a=1");
    // The original is left alone.
    EXPECT_FALSE(request->HTTPBody());
    EXPECT_EQ(header(request, "X-Custom"), "<nil>");
}

TEST_F(HTTPRequestSerializerTest, DefaultHeadersCanBeSetReadAndRemoved) {
    auto serializer = SDPHTTPRequestSerializer::serializer();
    serializer->setAuthorizationHeaderFieldWithUsername("Aladdin", "open sesame");
    EXPECT_EQ(serializer->valueForHTTPHeaderField("Authorization")->utf8(), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    auto snapshot = serializer->HTTPRequestHeaders();
    serializer->clearAuthorizationHeader();
    EXPECT_FALSE(serializer->valueForHTTPHeaderField("Authorization"));
    EXPECT_TRUE(snapshot->objectForKey("Authorization")) << "the copy does not follow later changes";
    serializer->setValueForHTTPHeaderField("1", "X-A");
    serializer->setValueForHTTPHeaderField(ns::Ref<ns::String>(), "X-A");
    EXPECT_FALSE(serializer->valueForHTTPHeaderField("X-A"));
    EXPECT_TRUE(serializer->HTTPRequestHeaders()->objectForKey("Accept-Language"));
    EXPECT_TRUE(serializer->HTTPRequestHeaders()->objectForKey("User-Agent"));
}

TEST_F(HTTPRequestSerializerTest, SettingsReachRequestsOnlyOnceSet) {
    auto serializer = SDPHTTPRequestSerializer::serializer();
    auto untouched = build(serializer, "GET", "http://example.com/", nullptr);
    EXPECT_EQ(untouched->timeoutInterval(), ns::URLRequest::DefaultTimeoutInterval);
    EXPECT_TRUE(untouched->allowsCellularAccess());
    EXPECT_TRUE(untouched->HTTPShouldHandleCookies());
    EXPECT_EQ(serializer->mutableObservedChangedKeyPaths()->count(), 0u);

    // Set to the value it already holds: still counts as set.
    serializer->setTimeoutInterval(0);
    serializer->setHTTPShouldHandleCookies(false);
    serializer->setCachePolicy(ns::URLRequestReloadIgnoringLocalCacheData);
    auto changed = build(serializer, "GET", "http://example.com/", nullptr);
    EXPECT_EQ(changed->timeoutInterval(), 0);
    EXPECT_FALSE(changed->HTTPShouldHandleCookies());
    EXPECT_EQ(changed->cachePolicy(), ns::URLRequestReloadIgnoringLocalCacheData);
    EXPECT_TRUE(changed->allowsCellularAccess()) << "never set, so the request's own default";
    EXPECT_EQ(serializer->mutableObservedChangedKeyPaths()->count(), 3u);

    serializer->setAllowsCellularAccess(false);
    serializer->setHTTPShouldUsePipelining(true);
    serializer->setNetworkServiceType(ns::NetworkServiceTypeBackground);
    auto all = build(serializer, "POST", "http://example.com/", nullptr);
    EXPECT_FALSE(all->allowsCellularAccess());
    EXPECT_TRUE(all->HTTPShouldUsePipelining());
    EXPECT_EQ(all->networkServiceType(), ns::NetworkServiceTypeBackground);
}

TEST_F(HTTPRequestSerializerTest, EachObservedSettingAnnouncesExactlyOneChange) {
    auto serializer = SDPHTTPRequestSerializer::serializer();
    std::vector<std::string> heard;
    std::vector<ns::Id> tokens;
    for (const std::string& key : SDPHTTPRequestSerializerObservedKeyPaths()) {
        EXPECT_FALSE(SDPHTTPRequestSerializer::automaticallyNotifiesObserversForKey(key));
        tokens.push_back(
            ns::addObserver(*serializer, key, ns::KeyValueObservingOptionNew,
                            [&](ns::Object&, const std::string& keyPath, const ns::KeyValueChange& change) {
                                heard.push_back(keyPath + "=" + ns::textOf(change.newValue));
                            }));
    }
    EXPECT_TRUE(SDPHTTPRequestSerializer::automaticallyNotifiesObserversForKey("stringEncoding"));
    serializer->setTimeoutInterval(12.5);
    serializer->setAllowsCellularAccess(true);
    serializer->setCachePolicy(2);
    serializer->setHTTPShouldHandleCookies(true);
    serializer->setHTTPShouldUsePipelining(true);
    serializer->setNetworkServiceType(1);
    for (const ns::Id& token : tokens) ns::removeObserver(token);
    EXPECT_EQ(heard, (std::vector<std::string>{"timeoutInterval=12.5", "allowsCellularAccess=1", "cachePolicy=2",
                                               "HTTPShouldHandleCookies=1", "HTTPShouldUsePipelining=1",
                                               "networkServiceType=1"}));
}

TEST_F(HTTPRequestSerializerTest, QueryStringBlockReplacesTheBuiltInOneAndItsErrorAborts) {
    auto serializer = SDPHTTPRequestSerializer::serializer();
    ns::Ref<ns::URLRequest> seen;
    serializer->setQueryStringSerializationWithBlock(
        [&](const ns::Ref<ns::URLRequest>& request, const ns::Id& parameters, ns::Ref<ns::Error>*) {
            seen = request;
            return ns::str("custom=" + ns::textOf(ns::cast<ns::Dictionary>(parameters)->objectForKey("k")));
        });
    auto get = build(serializer, "GET", "http://example.com/p", ns::Dictionary::make({{"k", ns::str("v")}}));
    EXPECT_EQ(get->URL()->absoluteString()->utf8(), "http://example.com/p?custom=v");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->URL()->absoluteString()->utf8(), "http://example.com/p") << "the block sees the request as passed";

    serializer->setQueryStringSerializationWithBlock(
        [](const ns::Ref<ns::URLRequest>&, const ns::Id&, ns::Ref<ns::Error>* error) -> ns::Ref<ns::String> {
            *error = ns::Error::make("test.domain", 7);
            return nullptr;
        });
    ns::Ref<ns::Error> error;
    EXPECT_FALSE(serializer->requestWithMethod("POST", "http://example.com/p", ns::Dictionary::make({}), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "test.domain");
    EXPECT_EQ(error->code(), 7);
    error = nullptr;
    EXPECT_TRUE(serializer->requestWithMethod("POST", "http://example.com/p", nullptr, &error))
        << "without parameters the block is not asked";

    // A style clears the block; a style other than the default sends no query.
    serializer->setQueryStringSerializationWithStyle(1);
    auto styled = build(serializer, "GET", "http://example.com/p", ns::Dictionary::make({{"k", ns::str("v")}}));
    EXPECT_EQ(styled->URL()->absoluteString()->utf8(), "http://example.com/p");
    auto styledPost = build(serializer, "POST", "http://example.com/p", ns::Dictionary::make({{"k", ns::str("v")}}));
    EXPECT_EQ(bodyOf(styledPost), "");
    serializer->setQueryStringSerializationWithStyle(SDPHTTPRequestQueryStringDefaultStyle);
    auto restored = build(serializer, "GET", "http://example.com/p", ns::Dictionary::make({{"k", ns::str("v")}}));
    EXPECT_EQ(restored->URL()->absoluteString()->utf8(), "http://example.com/p?k=v");
}

TEST_F(HTTPRequestSerializerTest, UnparsableURLGivesARequestWithoutURL) {
    auto request = build(SDPHTTPRequestSerializer::serializer(), "GET", "http://exa mple.com/<>", nullptr);
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->URL());
}

TEST_F(HTTPRequestSerializerTest, CopyKeepsHeadersStyleAndBlockButNotSettings) {
    auto serializer = SDPJSONRequestSerializer::serializerWithWritingOptions(ns::JSONWritingSortedKeys);
    serializer->setValueForHTTPHeaderField("t0k", "X-Token");
    serializer->setQueryStringSerializationWithStyle(3);
    serializer->setTimeoutInterval(5);
    serializer->setStringEncoding(ns::StringEncoding::ISOLatin1);
    auto copy = ns::cast<SDPJSONRequestSerializer>(serializer->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->writingOptions(), uint64_t(ns::JSONWritingSortedKeys));
    EXPECT_EQ(copy->valueForHTTPHeaderField("X-Token")->utf8(), "t0k");
    EXPECT_EQ(copy->queryStringSerializationStyle(), 3u);
    EXPECT_EQ(copy->mutableObservedChangedKeyPaths()->count(), 0u);
    EXPECT_EQ(copy->stringEncoding(), ns::StringEncoding::UTF8);
    copy->setValueForHTTPHeaderField("other", "X-Token");
    EXPECT_EQ(serializer->valueForHTTPHeaderField("X-Token")->utf8(), "t0k") << "headers are not shared";

    int calls = 0;
    serializer->setQueryStringSerializationWithBlock(
        [&](const ns::Ref<ns::URLRequest>&, const ns::Id&, ns::Ref<ns::Error>*) {
            ++calls;
            return ns::str("z=1");
        });
    auto blockCopy = ns::cast<SDPHTTPRequestSerializer>(serializer->copy());
    auto request = build(blockCopy, "GET", "http://example.com/", ns::Dictionary::make({}));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(request->URL()->query()->utf8(), "z=1");
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

TEST_F(HTTPRequestSerializerTest, ArchivingKeepsHeadersStyleAndOptions) {
    auto base = SDPHTTPRequestSerializer::serializer();
    base->setValueForHTTPHeaderField("abc", "X-Key");
    base->setQueryStringSerializationWithStyle(2);
    auto decoded = roundTrip(base);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->valueForHTTPHeaderField("X-Key")->utf8(), "abc");
    EXPECT_EQ(decoded->queryStringSerializationStyle(), 2u);
    decoded->setValueForHTTPHeaderField("still mutable", "X-Key");

    auto json = SDPJSONRequestSerializer::serializerWithWritingOptions(ns::JSONWritingPrettyPrinted);
    auto decodedJSON = roundTrip(json);
    ASSERT_TRUE(decodedJSON);
    EXPECT_EQ(decodedJSON->className(), "SDPJSONRequestSerializer");
    EXPECT_EQ(decodedJSON->writingOptions(), uint64_t(ns::JSONWritingPrettyPrinted));

    auto plist = SDPPropertyListRequestSerializer::serializerWithFormat(ns::PropertyListFormat::XML, 6);
    auto decodedPlist = roundTrip(plist);
    ASSERT_TRUE(decodedPlist);
    EXPECT_EQ(decodedPlist->format(), ns::PropertyListFormat::XML);
    EXPECT_EQ(decodedPlist->writeOptions(), 6u);
}

TEST_F(HTTPRequestSerializerTest, JSONSerializerSendsJSONBodiesAndQueriesForGet) {
    auto serializer = SDPJSONRequestSerializer::serializerWithWritingOptions(ns::JSONWritingSortedKeys);
    auto parameters =
        ns::Dictionary::make({{"b", ns::Array::make({ns::num(1), ns::Null::null()})}, {"a", ns::str("x")}});
    auto post = build(serializer, "POST", "http://example.com/j", parameters);
    EXPECT_EQ(header(post, "Content-Type"), "application/json");
    EXPECT_EQ(bodyOf(post), R"({"a":"x","b":[1,null]})");
    EXPECT_TRUE(post->valueForHTTPHeaderField("User-Agent"));

    auto get = build(serializer, "GET", "http://example.com/j", parameters);
    EXPECT_EQ(get->URL()->query()->utf8(), "a=x&b%5B%5D=1&b%5B%5D");
    EXPECT_FALSE(get->HTTPBody());

    auto bare = build(serializer, "POST", "http://example.com/j", nullptr);
    EXPECT_EQ(header(bare, "Content-Type"), "<nil>");
    EXPECT_FALSE(bare->HTTPBody());
}

TEST_F(HTTPRequestSerializerTest, JSONWriterFailureIsReportedButTheRequestStillComes) {
    auto serializer = SDPJSONRequestSerializer::serializer();
    ns::Ref<ns::Error> error;
    auto request = serializer->requestWithMethod("POST", "http://example.com/j",
                                                 ns::Dictionary::make({{"when", ns::URL::make("http://x/")}}), &error);
    ASSERT_TRUE(request);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), ns::CocoaErrorDomain);
    EXPECT_FALSE(request->HTTPBody());
    EXPECT_EQ(header(request, "Content-Type"), "application/json");
}

TEST_F(HTTPRequestSerializerTest, PropertyListSerializerSendsXMLPropertyLists) {
    auto serializer = SDPPropertyListRequestSerializer::serializer();
    auto parameters = ns::Dictionary::make({{"level", ns::num(3)}, {"name", ns::str("Ada")}});
    auto post = build(serializer, "POST", "http://example.com/p", parameters);
    EXPECT_EQ(header(post, "Content-Type"), "application/x-plist");
    ASSERT_TRUE(post->HTTPBody());
    auto decoded = ns::PropertyListSerialization::propertyListWithData(post->HTTPBody());
    EXPECT_TRUE(ns::equal(decoded, parameters));

    ns::Ref<ns::Error> error;
    auto bad = serializer->requestWithMethod("PUT", "http://example.com/p",
                                             ns::Dictionary::make({{"u", ns::URL::make("http://x/")}}), &error);
    ASSERT_TRUE(bad);
    EXPECT_TRUE(error);
}

}  // namespace

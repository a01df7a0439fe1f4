// The values of URL loading: requests, responses, cookies, the URL cache and
// the errors, without a network.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/foundation/Array.h"
#include "platform/foundation/HTTPCookieStorage.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLRequest.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

ns::Ref<ns::URL> url(const char* text) { return ns::URL::make(text); }

ns::Ref<ns::HTTPURLResponse> response(const char* u, int status, std::vector<ns::HTTPHeaderFields::Field> headers) {
    return ns::HTTPURLResponse::make(url(u), status, "HTTP/1.1", headers);
}

TEST(URLRequestTest, HeaderNamesIgnoreCase) {
    auto request = ns::MutableURLRequest::make(url("http://a.example/"));
    request->setValueForHTTPHeaderField("text/plain", "Content-Type");
    request->setValueForHTTPHeaderField("application/json", "content-type");
    request->addValueForHTTPHeaderField("a", "X-List");
    request->addValueForHTTPHeaderField("b", "x-list");
    EXPECT_EQ(request->valueForHTTPHeaderField("CONTENT-TYPE")->utf8(), "application/json");
    EXPECT_EQ(request->valueForHTTPHeaderField("X-List")->utf8(), "a, b");
    auto fields = request->allHTTPHeaderFields();
    ASSERT_EQ(fields->count(), 2u);
    EXPECT_EQ(ns::cast<ns::String>(fields->objectForKey("content-TYPE"))->utf8(), "application/json");
    // The first spelling of a name is the one kept.
    EXPECT_EQ(ns::cast<ns::String>(fields->allKeys()->objectAtIndex(0))->utf8(), "Content-Type");
    request->setValueForHTTPHeaderField(ns::Ref<ns::String>(), "CONTENT-type");
    EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Type"));
    EXPECT_FALSE(ns::MutableURLRequest::make(url("http://a.example/"))->allHTTPHeaderFields());
}

TEST(URLRequestTest, DefaultsAndCopies) {
    auto request = ns::MutableURLRequest::make(url("http://a.example/"));
    EXPECT_EQ(request->HTTPMethod()->utf8(), "GET");
    EXPECT_EQ(request->timeoutInterval(), 60.0);
    EXPECT_EQ(request->cachePolicy(), ns::URLRequestUseProtocolCachePolicy);
    EXPECT_TRUE(request->HTTPShouldHandleCookies());
    EXPECT_FALSE(request->HTTPShouldUsePipelining());
    EXPECT_TRUE(request->allowsCellularAccess());
    request->setHTTPBody(ns::Data::withBytes("x"));
    request->setHTTPBodyStream(ns::InputStream::withData(ns::Data::withBytes("y")));
    EXPECT_FALSE(request->HTTPBody());

    auto frozen = ns::cast<ns::URLRequest>(request->copy());
    ASSERT_TRUE(frozen);
    EXPECT_FALSE(ns::cast<ns::MutableURLRequest>(frozen));
    request->setHTTPMethod("POST");
    EXPECT_EQ(frozen->HTTPMethod()->utf8(), "GET");
    auto thawed = ns::cast<ns::MutableURLRequest>(frozen->mutableCopy());
    ASSERT_TRUE(thawed);
    EXPECT_TRUE(thawed->isEqual(frozen));
    EXPECT_EQ(frozen->copy(), frozen);
}

TEST(URLRequestTest, TheSixSettingsAreReachableByKeyValueCoding) {
    auto request = ns::MutableURLRequest::make(url("http://a.example/"));
    ns::setValueForKey(*request, ns::Number::withBool(false), "allowsCellularAccess");
    ns::setValueForKey(*request, ns::Number::withUnsignedLongLong(1), "cachePolicy");
    ns::setValueForKey(*request, ns::Number::withBool(false), "HTTPShouldHandleCookies");
    ns::setValueForKey(*request, ns::Number::withBool(true), "HTTPShouldUsePipelining");
    ns::setValueForKey(*request, ns::Number::withUnsignedLongLong(3), "networkServiceType");
    ns::setValueForKey(*request, ns::Number::withDouble(3.0), "timeoutInterval");
    EXPECT_FALSE(request->allowsCellularAccess());
    EXPECT_EQ(request->cachePolicy(), 1u);
    EXPECT_FALSE(request->HTTPShouldHandleCookies());
    EXPECT_TRUE(request->HTTPShouldUsePipelining());
    EXPECT_EQ(request->networkServiceType(), 3u);
    EXPECT_EQ(request->timeoutInterval(), 3.0);
    EXPECT_EQ(ns::cast<ns::Number>(ns::valueForKey(*request, "timeoutInterval"))->doubleValue(), 3.0);

    const rt::Class* cls = rt::classNamed("NSMutableURLRequest");
    ASSERT_TRUE(cls);
    EXPECT_TRUE(cls->isSubclassOf(rt::classNamed("NSURLRequest")));
    EXPECT_EQ(cls->findProperty("cachePolicy")->typeCode, "Q");
    EXPECT_EQ(cls->findProperty("timeoutInterval")->typeCode, "d");
    EXPECT_EQ(rt::classNamed("NSURLRequest")->findProperty("URL")->attributes, "T@\"NSURL\",R,C,N,V_URL");
}

TEST(HTTPURLResponseTest, ContentTypeLengthAndFileName) {
    auto r = response("http://a.example/files/report", 200,
                      {{"Content-Type", "Text/HTML; charset=\"gb2312\""}, {"content-length", "1234"}});
    EXPECT_EQ(r->MIMEType()->utf8(), "text/html");
    EXPECT_EQ(r->textEncodingName()->utf8(), "gb2312");
    EXPECT_EQ(r->expectedContentLength(), 1234);
    EXPECT_EQ(r->suggestedFilename()->utf8(), "report.html");
    EXPECT_EQ(ns::cast<ns::String>(r->allHeaderFields()->objectForKey("CONTENT-LENGTH"))->utf8(), "1234");

    auto attachment = response("http://a.example/dl?id=3", 200,
                               {{"Content-Disposition", "attachment; filename=\"../../save.zip\""}});
    EXPECT_EQ(attachment->suggestedFilename()->utf8(), "save.zip");
    EXPECT_EQ(attachment->expectedContentLength(), -1);
    EXPECT_FALSE(attachment->MIMEType());
    EXPECT_EQ(response("http://a.example/", 200, {})->suggestedFilename()->utf8(), "Unknown");

    auto cookies = response("http://a.example/", 200, {{"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}});
    EXPECT_EQ(cookies->valueForHTTPHeaderField("set-cookie")->utf8(), "a=1, b=2");
    EXPECT_EQ(cookies->setCookieLines(), (std::vector<std::string>{"a=1", "b=2"}));
}

TEST(HTTPURLResponseTest, StatusTextsAreThePlatformsLowerCaseOnes) {
    using R = ns::HTTPURLResponse;
    EXPECT_EQ(R::localizedStringForStatusCode(200), "no error");
    EXPECT_EQ(R::localizedStringForStatusCode(404), "not found");
    EXPECT_EQ(R::localizedStringForStatusCode(500), "internal server error");
    EXPECT_EQ(R::localizedStringForStatusCode(401), "unauthorized");
    EXPECT_EQ(R::localizedStringForStatusCode(302), "found");
    EXPECT_EQ(R::localizedStringForStatusCode(299), "success");
    EXPECT_EQ(R::localizedStringForStatusCode(451), "client error");
    EXPECT_EQ(R::localizedStringForStatusCode(599), "server error");
}

TEST(HTTPDateTest, ReadsEveryHistoricalForm) {
    const double expected = 784111777;  // 1994-11-06 08:49:37 UTC
    EXPECT_EQ(ns::parseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
    EXPECT_EQ(ns::parseHTTPDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected);
    EXPECT_EQ(ns::parseHTTPDate("Sun Nov  6 08:49:37 1994"), expected);
    EXPECT_FALSE(ns::parseHTTPDate("yesterday"));
    EXPECT_FALSE(ns::parseHTTPDate("Sun, 06 Nov 1994"));
}

class HTTPCookieTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
};

TEST_F(HTTPCookieTest, SetCookieLineAttributes) {
    auto from = url("https://www.shop.example/account/login");
    auto plain = ns::HTTPCookie::cookieWithSetCookieLine("sid=42", *from);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->domain(), "www.shop.example");
    EXPECT_EQ(plain->path(), "/account");
    EXPECT_TRUE(plain->isSessionOnly());

    auto domain = ns::HTTPCookie::cookieWithSetCookieLine(
        "pref=1; Domain=shop.example; Path=/; Secure; HttpOnly; Expires=Wed, 21 Oct 2037 07:28:00 GMT; Max-Age=60", *from);
    ASSERT_TRUE(domain);
    EXPECT_EQ(domain->domain(), ".shop.example");
    EXPECT_TRUE(domain->isSecure());
    EXPECT_TRUE(domain->isHTTPOnly());
    // Max-Age wins over Expires.
    EXPECT_EQ(domain->expiresDate()->timeIntervalSinceNow(), 60);
    EXPECT_TRUE(domain->matchesURL(*url("https://img.shop.example/x")));
    EXPECT_FALSE(domain->matchesURL(*url("http://img.shop.example/x")));
    EXPECT_FALSE(domain->matchesURL(*url("https://evilshop.example/")));

    EXPECT_FALSE(ns::HTTPCookie::cookieWithSetCookieLine("x=1; Domain=other.example", *from));
    EXPECT_FALSE(ns::HTTPCookie::cookieWithSetCookieLine("novalue", *from));
    EXPECT_TRUE(plain->matchesURL(*url("https://www.shop.example/account")));
    EXPECT_TRUE(plain->matchesURL(*url("https://www.shop.example/account/x")));
    EXPECT_FALSE(plain->matchesURL(*url("https://www.shop.example/accounts")));
}

TEST_F(HTTPCookieTest, JoinedHeaderKeepsTheCommasOfDates) {
    auto headers = ns::Dictionary::make({{"Set-Cookie", ns::String::make(
        "a=1; expires=Wed, 21 Oct 2037 07:28:00 GMT; path=/, b=2, c=3; Expires=Thu, 01 Jan 2037 00:00:00 GMT")}});
    auto cookies = ns::HTTPCookie::cookiesWithResponseHeaderFields(*headers, *url("http://a.example/"));
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_EQ(cookies[0]->name(), "a");
    EXPECT_FALSE(cookies[0]->isSessionOnly());
    EXPECT_EQ(cookies[1]->name(), "b");
    EXPECT_EQ(cookies[2]->value(), "3");
    auto header = ns::HTTPCookie::requestHeaderFieldsWithCookies(cookies);
    EXPECT_EQ(ns::cast<ns::String>(header->objectForKey("Cookie"))->utf8(), "a=1; b=2; c=3");
}

TEST_F(HTTPCookieTest, StorageReplacesExpiresAndOrdersByPath) {
    ns::HTTPCookieStorage storage;
    auto from = url("http://a.example/app/page");
    storage.setCookie(ns::HTTPCookie::cookieWithSetCookieLine("t=old; Path=/", *from));
    storage.setCookie(ns::HTTPCookie::cookieWithSetCookieLine("t=new; Path=/", *from));
    storage.setCookie(ns::HTTPCookie::cookieWithSetCookieLine("deep=1; Path=/app", *from));
    storage.setCookie(ns::HTTPCookie::cookieWithSetCookieLine("brief=1; Max-Age=10", *from));
    auto sent = storage.cookiesForURL(*url("http://a.example/app/other"));
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0]->name(), "deep");
    EXPECT_EQ(storage.cookies().size(), 3u);
    EXPECT_EQ(storage.cookies()[0]->value(), "new");

    env.fastForwardBy(11);
    EXPECT_EQ(storage.cookies().size(), 2u);
    storage.setCookie(ns::HTTPCookie::cookieWithSetCookieLine("t=gone; Path=/; Max-Age=0", *from));
    EXPECT_EQ(storage.cookies().size(), 1u);

    storage.setCookieAcceptPolicy(ns::HTTPCookieAcceptPolicyOnlyFromMainDocumentDomain);
    storage.setCookies({ns::HTTPCookie::cookieWithSetCookieLine("ad=1", *url("http://ads.example/"))},
                       *url("http://ads.example/"), url("http://a.example/"));
    EXPECT_EQ(storage.cookies().size(), 1u);
}

TEST_F(HTTPCookieTest, PropertiesRoundTrip) {
    auto cookie = ns::HTTPCookie::cookieWithProperties(*ns::Dictionary::make({
        {ns::HTTPCookieName, ns::String::make("n")},
        {ns::HTTPCookieValue, ns::String::make("v")},
        {ns::HTTPCookiePath, ns::String::make("/")},
        {ns::HTTPCookieOriginURL, url("http://Host.Example/x")},
    }));
    ASSERT_TRUE(cookie);
    EXPECT_EQ(cookie->domain(), "host.example");
    auto again = ns::HTTPCookie::cookieWithProperties(*cookie->properties());
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->isSameCookie(*cookie));
    EXPECT_FALSE(ns::HTTPCookie::cookieWithProperties(*ns::Dictionary::make({{ns::HTTPCookieName, ns::String::make("n")}})));
}

class URLCacheTest : public ::testing::Test {
protected:
    ns::Ref<ns::CachedURLResponse> entry(const char* u, std::string body, const char* cacheControl = "max-age=100") {
        return ns::CachedURLResponse::make(response(u, 200, {{"Cache-Control", cacheControl}}), ns::Data::withBytes(body));
    }
    ns::Ref<ns::URLRequest> get(const char* u) { return ns::URLRequest::make(url(u)); }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
};

TEST_F(URLCacheTest, MemoryKeepsTheMostRecentlyUsedWithinItsCapacity) {
    auto cache = ns::URLCache::make(250, 0, {});
    cache->storeCachedResponse(entry("http://a.example/1", std::string(100, '1')), *get("http://a.example/1"));
    cache->storeCachedResponse(entry("http://a.example/2", std::string(100, '2')), *get("http://a.example/2"));
    ASSERT_TRUE(cache->cachedResponseForRequest(*get("http://a.example/1#frag")));
    cache->storeCachedResponse(entry("http://a.example/3", std::string(100, '3')), *get("http://a.example/3"));
    EXPECT_TRUE(cache->cachedResponseForRequest(*get("http://a.example/1")));
    EXPECT_FALSE(cache->cachedResponseForRequest(*get("http://a.example/2")));
    EXPECT_EQ(cache->currentMemoryUsage(), 200u);
    EXPECT_EQ(cache->diskPath(), "");
    cache->storeCachedResponse(entry("http://a.example/big", std::string(300, 'b')), *get("http://a.example/big"));
    EXPECT_FALSE(cache->cachedResponseForRequest(*get("http://a.example/big")));
}

TEST_F(URLCacheTest, DiskEntriesOutliveTheCacheObject) {
    {
        auto cache = ns::URLCache::make(0, 1 << 20, "Images");
        EXPECT_EQ(cache->diskPath(), home.path() + "/Library/Caches/Images");
        cache->storeCachedResponse(entry("http://a.example/p.png", "png bytes"), *get("http://a.example/p.png"));
        auto memoryOnly = ns::CachedURLResponse::make(response("http://a.example/m", 200, {}), ns::Data::withBytes("m"),
                                                      nullptr, ns::URLCacheStorageAllowedInMemoryOnly);
        cache->storeCachedResponse(memoryOnly, *get("http://a.example/m"));
        EXPECT_GT(cache->currentDiskUsage(), 9u);
    }
    auto reopened = ns::URLCache::make(0, 1 << 20, "Images");
    auto found = reopened->cachedResponseForRequest(*get("http://a.example/p.png"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->data()->view(), "png bytes");
    auto http = ns::cast<ns::HTTPURLResponse>(found->response());
    ASSERT_TRUE(http);
    EXPECT_EQ(http->statusCode(), 200);
    EXPECT_EQ(http->valueForHTTPHeaderField("cache-control")->utf8(), "max-age=100");
    EXPECT_FALSE(reopened->cachedResponseForRequest(*get("http://a.example/m")));
    reopened->removeAllCachedResponses();
    EXPECT_EQ(reopened->currentDiskUsage(), 0u);
    EXPECT_FALSE(ns::URLCache::make(0, 1 << 20, "Images")->cachedResponseForRequest(*get("http://a.example/p.png")));
}

TEST_F(URLCacheTest, FreshnessFollowsMaxAgeAndExpiresOnTheClock) {
    auto cache = ns::URLCache::make(1 << 20, 0, {});
    cache->storeCachedResponse(entry("http://a.example/a", "a", "max-age=100"), *get("http://a.example/a"));
    cache->storeCachedResponse(entry("http://a.example/b", "b", "no-cache, max-age=100"), *get("http://a.example/b"));
    cache->storeCachedResponse(ns::CachedURLResponse::make(response("http://a.example/c", 200,
                                                                    {{"Date", "Sun, 06 Nov 1994 08:49:37 GMT"},
                                                                     {"Expires", "Sun, 06 Nov 1994 08:50:37 GMT"}}),
                                                           ns::Data::withBytes("c")),
                               *get("http://a.example/c"));
    EXPECT_TRUE(cache->cachedResponseForRequest(*get("http://a.example/a"))->isFresh());
    EXPECT_FALSE(cache->cachedResponseForRequest(*get("http://a.example/b"))->isFresh());
    EXPECT_TRUE(cache->cachedResponseForRequest(*get("http://a.example/c"))->isFresh());
    env.fastForwardBy(61);
    EXPECT_TRUE(cache->cachedResponseForRequest(*get("http://a.example/a"))->isFresh());
    EXPECT_FALSE(cache->cachedResponseForRequest(*get("http://a.example/c"))->isFresh());
    env.fastForwardBy(40);
    EXPECT_FALSE(cache->cachedResponseForRequest(*get("http://a.example/a"))->isFresh());
}

TEST(URLErrorTest, DescriptionsAndFailingURL) {
    auto error = ns::makeURLError(ns::URLErrorCannotFindHost, url("http://nowhere.example/x"));
    EXPECT_EQ(error->domain(), "NSURLErrorDomain");
    EXPECT_EQ(error->localizedDescription(), "A server with the specified hostname could not be found.");
    EXPECT_EQ(ns::cast<ns::String>(error->userInfo()->objectForKey("NSErrorFailingURLStringKey"))->utf8(),
              "http://nowhere.example/x");
    EXPECT_EQ(ns::makeURLError(ns::URLErrorNotConnectedToInternet, nullptr)->localizedDescription(),
              "The Internet connection appears to be offline.");
    EXPECT_EQ(ns::makeURLError(ns::URLErrorSecureConnectionFailed, nullptr)->localizedDescription(),
              "An SSL error has occurred and a secure connection to the server cannot be made.");
    EXPECT_EQ(ns::makeURLError(ns::URLErrorBadURL, nullptr)->userInfo()->count(), 1u);
}

}  // namespace

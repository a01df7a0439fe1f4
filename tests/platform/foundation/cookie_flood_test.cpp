// A server that sets cookies by the thousand: the store keeps a bounded
// number per domain and in all, the least recently set going first, and the
// host stays reachable. A request whose own fields are longer than curl will
// send fails as a bad request, not as a reply too long.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/HTTPCookieStorage.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using ns::HTTPCookieStorage;
using urltest::Outcome;

ns::Ref<ns::HTTPCookie> cookieFrom(const std::string& line, const std::string& address) {
    return ns::HTTPCookie::cookieWithSetCookieLine(line, *ns::URL::make(address));
}

std::vector<std::string> namesIn(const HTTPCookieStorage& storage) {
    std::vector<std::string> names;
    for (const auto& cookie : storage.cookies()) names.push_back(cookie->name());
    return names;
}

TEST(CookieFloodTest, ADomainKeepsItsMostRecentlySetCookies) {
    testing::TaskEnvironment env;
    HTTPCookieStorage storage;
    const size_t cap = HTTPCookieStorage::MaxCookiesPerDomain;
    storage.setCookie(cookieFrom("session=1", "http://a.example/"));
    storage.setCookie(cookieFrom("stale=1", "http://a.example/"));
    // A host's own cookies and its domain's count together; another domain
    // is not touched.
    storage.setCookie(cookieFrom("elsewhere=1", "http://b.example/"));
    for (size_t i = 0; i < cap - 3; ++i) storage.setCookie(cookieFrom("c" + std::to_string(i) + "=1", "http://a.example/"));
    storage.setCookie(cookieFrom("wide=1; Domain=a.example", "http://www.a.example/"));
    EXPECT_EQ(storage.cookies().size(), cap + 1);

    // Set again: the session cookie is now the most recent, and keeps its
    // place in the order of first storage.
    storage.setCookie(cookieFrom("session=2", "http://a.example/"));
    storage.setCookie(cookieFrom("flood0=1", "http://a.example/"));
    storage.setCookie(cookieFrom("flood1=1", "http://a.example/"));
    const auto names = namesIn(storage);
    ASSERT_EQ(names.size(), cap + 1);
    EXPECT_EQ(names.front(), "session");
    EXPECT_EQ(storage.cookies().front()->value(), "2");
    EXPECT_EQ(std::count(names.begin(), names.end(), "stale"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "c0"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "c1"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "elsewhere"), 1);
    EXPECT_EQ(names.back(), "flood1");

    // Deleting and removing keep the store's indexes true.
    storage.deleteCookie(*cookieFrom("flood1=1", "http://a.example/"));
    storage.setCookie(cookieFrom("flood1=again", "http://a.example/"));
    EXPECT_EQ(storage.cookies().size(), cap + 1);
    EXPECT_EQ(storage.cookies().back()->value(), "again");
    storage.removeAllCookies();
    EXPECT_TRUE(storage.cookies().empty());
    storage.setCookie(cookieFrom("session=3", "http://a.example/"));
    EXPECT_EQ(namesIn(storage), std::vector<std::string>{"session"});
}

TEST(CookieFloodTest, TheStoreKeepsItsMostRecentlySetCookiesInAll) {
    testing::TaskEnvironment env;
    HTTPCookieStorage storage;
    const size_t total = HTTPCookieStorage::MaxCookies;
    // Spread over domains, each well under its own bound.
    for (size_t i = 0; i < total + 10; ++i) {
        storage.setCookie(cookieFrom("n" + std::to_string(i) + "=1", "http://h" + std::to_string(i / 100) + ".example/"));
    }
    const auto cookies = storage.cookies();
    ASSERT_EQ(cookies.size(), total);
    EXPECT_EQ(cookies.front()->name(), "n10");
    EXPECT_EQ(cookies.back()->name(), "n" + std::to_string(total + 9));
    EXPECT_TRUE(storage.cookiesForURL(*ns::URL::make("http://h0.example/")).size() == 90u);
}

// `count` Set-Cookie fields, named from `prefix`.
testing::Reply cookieFlood(const std::string& prefix, int count) {
    testing::Reply reply = testing::Reply::text("ok");
    for (int i = 0; i < count; ++i) reply.headers.emplace_back("Set-Cookie", prefix + std::to_string(i) + "=flood; Path=/");
    return reply;
}

TEST(CookieFloodTest, AHostThatFloodsItsCookiesStaysReachable) {
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    server.route("GET", "/hello", testing::Reply::text("hello"));
    auto session = urltest::ephemeralSession();

    // 30,000 cookies for "/": once more than curl would send in one head.
    constexpr int floods = 10;
    for (int i = 0; i < floods; ++i) {
        const std::string path = "/flood" + std::to_string(i);
        server.route("GET", path, cookieFlood("f" + std::to_string(i) + "_", 3000));
        Outcome outcome;
        session->dataTaskWithURL(ns::URL::make(server.url(path)), outcome.handler())->resume();
        env.runUntilIdle();
        ASSERT_EQ(outcome.errorCode(), 0) << "flood " << i;
    }
    EXPECT_EQ(session->configuration()->HTTPCookieStorage()->cookies().size(), HTTPCookieStorage::MaxCookiesPerDomain);

    Outcome outcome;
    session->dataTaskWithURL(ns::URL::make(server.url("/hello")), outcome.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(outcome.errorCode(), 0);
    EXPECT_EQ(outcome.body(), "hello");
    const auto requests = server.requests();
    ASSERT_EQ(requests.back().path, "/hello");
    const std::string sent = requests.back().header("Cookie");
    // The most recent ones, of the last flood.
    EXPECT_EQ(size_t(std::count(sent.begin(), sent.end(), '=')), HTTPCookieStorage::MaxCookiesPerDomain);
    EXPECT_NE(sent.find("f9_2999=flood"), std::string::npos);
    EXPECT_EQ(sent.find("f0_"), std::string::npos);
}

TEST(CookieFloodTest, ARequestLongerThanCurlSendsFailsAsABadRequest) {
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    // Answers whatever head it gets, however long.
    testing::SilentServer host("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    auto session = urltest::ephemeralSession();
    auto requestWithField = [&](size_t length) {
        auto request = urltest::request(host.url("/long"));
        request->setValueForHTTPHeaderField(std::string(length, 'v'), "X-Long");
        return request;
    };

    ns::LogCapture log;
    Outcome tooLong;
    session->dataTaskWithRequest(requestWithField(ns::detail::MaxRequestHeadBytes), tooLong.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(tooLong.calls, 1);
    EXPECT_EQ(tooLong.errorCode(), ns::URLErrorBadURL);
    EXPECT_TRUE(log.contains("URL session: request to " + host.url("/long") + " not sent: it is too long"));
    EXPECT_EQ(host.connectionCount(), 0u);

    // Just within: curl sends it.
    Outcome within;
    session->dataTaskWithRequest(requestWithField(ns::detail::MaxRequestHeadBytes - 5000), within.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(within.errorCode(), 0);
    EXPECT_EQ(within.body(), "ok");
}

}  // namespace

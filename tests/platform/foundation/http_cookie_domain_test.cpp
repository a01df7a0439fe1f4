// The domains a cookie may have: never a public suffix, a single label or
// part of an address, whether set by a server or made from properties; a
// Domain equal to such a host keeps the cookie to that host; ordinary parent
// domains keep working, through a session too.

#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/HTTPCookieStorage.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

class HTTPCookieDomainTest : public ::testing::Test {
protected:
    testing::TaskEnvironment env;
};

TEST_F(HTTPCookieDomainTest, DomainAttributesFromEachKindOfHost) {
    const struct {
        const char* from;
        const char* domain;  // the Domain attribute
        const char* kept;    // the cookie's domain; nullptr: refused
    } cases[] = {
        // Public suffixes, listed or by the list's default rule for a top label.
        {"https://shop.example.com/", "com", nullptr},
        {"https://shop.example.com/", ".com", nullptr},
        {"https://www.shop.co.uk/", "co.uk", nullptr},
        {"https://www.shop.co.uk/", "uk", nullptr},
        {"https://me.github.io/", "github.io", nullptr},
        {"https://a.b.ck/", "b.ck", nullptr},  // every name under "ck" is a suffix...
        {"https://a.www.ck/", "www.ck", ".www.ck"},  // ...but this one
        {"http://www.a.example/", "example", nullptr},
        // Single labels.
        {"http://a.localhost/", "localhost", nullptr},
        {"http://intranet.corp/", "corp", nullptr},
        // Addresses match only themselves.
        {"http://127.0.0.1/", "0.0.1", nullptr},
        {"http://127.0.0.1/", "1", nullptr},
        {"http://192.168.1.20/", "168.1.20", nullptr},
        {"http://10.0.0.1/", "10.0.0.1.example", nullptr},
        {"http://127.1/", "1", nullptr},
        {"http://a.example/", "10.0.0.1", nullptr},
        // A Domain equal to a host that could not be a domain: host-only.
        {"http://127.0.0.1/", "127.0.0.1", "127.0.0.1"},
        {"http://127.0.0.1/", ".127.0.0.1", "127.0.0.1"},
        {"http://localhost/", "localhost", "localhost"},
        {"http://[::1]/", "::1", "::1"},
        {"https://co.uk/", "co.uk", "co.uk"},
        // Ordinary parent domains, and a Domain equal to an ordinary host.
        {"http://www.a.example/", "a.example", ".a.example"},
        {"http://www.a.example/", "A.Example", ".a.example"},
        {"https://www.shop.example/", "shop.example", ".shop.example"},
        {"https://shop.example.com/", "example.com", ".example.com"},
        {"https://shop.example.com/", "shop.example.com", ".shop.example.com"},
        {"https://me.github.io/", "me.github.io", ".me.github.io"},
        // Not the host's domain at all.
        {"https://www.shop.example/", "other.example", nullptr},
        {"https://www.shop.example/", "p.example", nullptr},
    };
    for (const auto& c : cases) {
        auto cookie = ns::HTTPCookie::cookieWithSetCookieLine(std::string("n=v; Domain=") + c.domain, *ns::URL::make(c.from));
        if (!c.kept) {
            EXPECT_FALSE(cookie) << c.domain << " from " << c.from << " kept as " << cookie->domain();
            continue;
        }
        ASSERT_TRUE(cookie) << c.domain << " from " << c.from;
        EXPECT_EQ(cookie->domain(), c.kept) << c.domain << " from " << c.from;
    }
}

TEST_F(HTTPCookieDomainTest, WhereCookiesGoHoweverTheyWereMade) {
    auto made = [](const char* domain) {
        return ns::HTTPCookie::cookieWithProperties(*ns::Dictionary::make({
            {ns::HTTPCookieName, ns::String::make("n")},
            {ns::HTTPCookieValue, ns::String::make("v")},
            {ns::HTTPCookiePath, ns::String::make("/")},
            {ns::HTTPCookieDomain, ns::String::make(domain)},
        }));
    };
    const struct {
        const char* domain;  // as the app gives it
        const char* to;
        bool sent;
    } cases[] = {
        {".com", "https://bank.com/", false},
        {".com", "https://com/", true},
        {".co.uk", "https://bank.co.uk/", false},
        {".0.0.1", "http://10.0.0.1/", false},
        {".1", "http://127.0.0.1/", false},
        {".localhost", "http://a.localhost/", false},
        {".localhost", "http://localhost/", true},
        {"127.0.0.1", "http://127.0.0.1/", true},
        {"127.0.0.1", "http://10.127.0.0.1/", false},
        {".a.example", "http://a.example/", true},
        {".a.example", "http://www.a.example/", true},
        {".a.example", "http://wwwa.example/", false},
        {"a.example", "http://www.a.example/", false},
    };
    for (const auto& c : cases) {
        auto cookie = made(c.domain);
        ASSERT_TRUE(cookie) << c.domain;
        EXPECT_EQ(cookie->matchesURL(*ns::URL::make(c.to)), c.sent) << c.domain << " to " << c.to;
    }
}

TEST_F(HTTPCookieDomainTest, ALoopbackServersCookiesThroughASession) {
    testing::LoopbackServer server;
    testing::Reply setting = testing::Reply::text("set", "text/plain");
    setting.headers.emplace_back("Set-Cookie", "wide=1; Domain=0.0.1; Path=/");
    setting.headers.emplace_back("Set-Cookie", "own=1; Domain=127.0.0.1; Path=/");
    setting.headers.emplace_back("Set-Cookie", "plain=1; Path=/");
    server.route("GET", "/set", setting);
    server.route("GET", "/echo", [](const testing::RecordedRequest& request, testing::Reply& reply) {
        reply = testing::Reply::text(request.header("Cookie"), "text/plain");
    });
    auto storage = std::make_shared<ns::HTTPCookieStorage>();
    storage->setCookieAcceptPolicy(ns::HTTPCookieAcceptPolicyAlways);
    auto config = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    config->setURLCache(nullptr);
    config->setHTTPCookieStorage(storage);
    auto session = ns::URLSession::sessionWithConfiguration(config);

    urltest::Outcome set, echoed;
    session->dataTaskWithURL(ns::URL::make(server.url("/set")), set.handler())->resume();
    env.runUntilIdle();
    session->dataTaskWithURL(ns::URL::make(server.url("/echo")), echoed.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(echoed.body(), "own=1; plain=1");
    ASSERT_EQ(storage->cookies().size(), 2u);
    for (const auto& cookie : storage->cookies()) EXPECT_EQ(cookie->domain(), "127.0.0.1") << cookie->name();
    EXPECT_TRUE(storage->cookiesForURL(*ns::URL::make("http://10.0.0.1/")).empty());
}

}  // namespace

// The manager: the request it builds, credentials, the transform it hands
// on, cache keys, and the network-activity sign's debounce.

#include "platform/runtime/Exception.h"
#include "platform/uikit/Application.h"
#include "platform/foundation/URLRequest.h"
#include "tests/image/web/web_image_test_support.h"

namespace {

using namespace web_test;

class ManagerTest : public WebImageTest {
protected:
    ManagerTest() { server_.serve("/a.jpg", ImageReply{.body = LoopbackImageServer::jpeg(8, 8, false)}); }
};

TEST_F(ManagerTest, DefaultRequestAndTheURLCacheBit) {
    try {
        TVWebImageManager manager;
        FAIL() << "plain init made a manager";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "TVWebImageManager init error");
        EXPECT_EQ(e.reason(), "Use the designated initializer to init.");
    }
    Recorder recorder;
    auto operation = request("/a.jpg", 0, recorder);
    ASSERT_TRUE(operation);
    const auto& made = operation->request();
    EXPECT_FALSE(made->HTTPShouldHandleCookies());
    EXPECT_EQ(made->cachePolicy(), ns::URLRequestReloadIgnoringLocalCacheData);
    EXPECT_TRUE(made->HTTPShouldUsePipelining());
    EXPECT_EQ(made->timeoutInterval(), 15);
    EXPECT_EQ(made->valueForHTTPHeaderField("Accept")->utf8(), "image/*;q=0.8");
    EXPECT_EQ(operation->cacheKey(), server_.url("/a.jpg"));
    env_.runUntilIdle();
    ASSERT_EQ(server_.requestCount("/a.jpg"), 1u);
    EXPECT_EQ(server_.requests()[0].header("Accept"), "image/*;q=0.8");
    ASSERT_EQ(recorder.all().size(), 1u);
    EXPECT_EQ(recorder.all()[0].from, TVWebImageFromRemote);
    EXPECT_TRUE(recorder.all()[0].onNetworkThread);

    // Bit 3: the protocol's policy, and the image cache (which now holds the
    // image) is not asked.
    Recorder again;
    auto cached = request("/a.jpg", TVWebImageOptionURLCache | TVWebImageOptionCookies, again);
    EXPECT_EQ(cached->request()->cachePolicy(), ns::URLRequestUseProtocolCachePolicy);
    EXPECT_TRUE(cached->request()->HTTPShouldHandleCookies());
    env_.runUntilIdle();
    EXPECT_EQ(server_.requestCount("/a.jpg"), 2u);
    EXPECT_EQ(again.all().at(0).from, TVWebImageFromRemote);

    // Headers replaced through the filter.
    manager_->setHeadersFilter([](const ns::Ref<ns::URL>&, const ns::Ref<ns::Dictionary>&) {
        return ns::Dictionary::make({{ns::str("X-Only"), ns::str("1")}});
    });
    Recorder filtered;
    auto third = request("/a.jpg", 0, filtered);
    EXPECT_FALSE(third->request()->valueForHTTPHeaderField("Accept"));
    EXPECT_EQ(third->request()->valueForHTTPHeaderField("X-Only")->utf8(), "1");
    env_.runUntilIdle();
}

TEST_F(ManagerTest, CredentialOnlyWithUserAndPasswordAndOneRetry) {
    server_.serve("/secret.png", ImageReply{.body = LoopbackImageServer::png(8, 8, false), .contentType = "image/png",
                                            .user = "u", .password = "p"});
    manager_->setUsername("u");
    Recorder noPassword;
    auto without = request("/secret.png", 0, noPassword);
    EXPECT_FALSE(without->credential());
    env_.runUntilIdle();
    ASSERT_EQ(noPassword.all().size(), 1u);
    ASSERT_TRUE(noPassword.all()[0].error);
    EXPECT_EQ(noPassword.all()[0].error->code(), 401);

    // A refused credential is not offered again: the load fails with 401.
    manager_->setPassword("wrong");
    Recorder refused;
    auto wrong = request("/secret.png", 0, refused);
    env_.runUntilIdle();
    ASSERT_EQ(refused.all().size(), 1u);
    ASSERT_TRUE(refused.all()[0].error);
    EXPECT_EQ(refused.all()[0].error->code(), 401);

    manager_->setPassword("p");
    Recorder allowed;
    auto with = request("/secret.png", 0, allowed);
    ASSERT_TRUE(with->credential());
    EXPECT_EQ(with->credential()->persistence(), ns::URLCredentialPersistenceForSession);
    env_.runUntilIdle();
    ASSERT_EQ(allowed.all().size(), 1u);
    EXPECT_TRUE(allowed.all()[0].image);

}

TEST_F(ManagerTest, RequestTransformWinsOverTheSharedOne) {
    auto marked = [](double scale) {
        return [scale](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>&) {
            return ui::Image::imageWithCGImage(image->cgImage(), scale);
        };
    };
    manager_->setSharedTransformBlock(marked(2));
    Recorder shared, own;
    auto first = request("/a.jpg", TVWebImageOptionRefreshCache, shared);
    auto second = request("/a.jpg", TVWebImageOptionRefreshCache, own, marked(4));
    env_.runUntilIdle();
    ASSERT_TRUE(shared.all().at(0).image);
    ASSERT_TRUE(own.all().at(0).image);
    EXPECT_EQ(shared.all()[0].image->scale(), 2);
    EXPECT_EQ(own.all()[0].image->scale(), 4);
}

TEST_F(ManagerTest, FixedCacheKeyMakesTwoURLsOneEntry) {
    server_.serve("/b.jpg", ImageReply{.body = LoopbackImageServer::jpeg(8, 8, false)});
    manager_->setCacheKeyFilter([](const ns::Ref<ns::URL>&) { return std::string("one"); });
    EXPECT_EQ(manager_->cacheKeyForURL(url("/a.jpg")), "one");
    EXPECT_EQ(manager_->cacheKeyForURL(nullptr), "");
    EXPECT_FALSE(manager_->headersForURL(nullptr));
    Recorder first, second;
    auto one = request("/a.jpg", 0, first);
    env_.runUntilIdle();
    auto two = request("/b.jpg", 0, second);
    env_.runUntilIdle();
    EXPECT_EQ(second.all().at(0).from, TVWebImageFromMemoryCache);
    EXPECT_EQ(server_.requestCount("/b.jpg"), 0u);
}

TEST_F(ManagerTest, ActivityBurstTouchesTheSignOnceWithTheLastState) {
    auto application = ui::Application::sharedApplication();
    application->resetForTesting();
    int64_t before = TVWebImageManager::currentNetworkActivityCount();
    for (int i = 0; i < 10; ++i) TVWebImageManager::incrementNetworkActivityCount();
    for (int i = 0; i < 10; ++i) TVWebImageManager::decrementNetworkActivityCount();
    EXPECT_EQ(TVWebImageManager::currentNetworkActivityCount(), before);
    env_.fastForwardBy(0.1);
    EXPECT_FALSE(application->isNetworkActivityIndicatorVisible());
    EXPECT_EQ(application->networkActivityIndicatorChangesForTesting(), 0u);

    TVWebImageManager::incrementNetworkActivityCount();
    env_.fastForwardBy(1.0 / 60);
    EXPECT_FALSE(application->isNetworkActivityIndicatorVisible());
    env_.fastForwardBy(1.0 / 60);
    EXPECT_TRUE(application->isNetworkActivityIndicatorVisible());
    EXPECT_EQ(application->networkActivityIndicatorChangesForTesting(), 1u);

    // From another thread the change moves to the main thread.
    std::thread([] { TVWebImageManager::decrementNetworkActivityCount(); }).join();
    env_.fastForwardBy(0.1);
    EXPECT_FALSE(application->isNetworkActivityIndicatorVisible());
    EXPECT_EQ(TVWebImageManager::currentNetworkActivityCount(), before);

    // Bit 0 counts a download while it runs.
    Recorder recorder;
    auto counted = request("/a.jpg", TVWebImageOptionNetworkIndicator | TVWebImageOptionRefreshCache, recorder);
    env_.runUntilIdle();
    env_.fastForwardBy(0.1);
    EXPECT_EQ(TVWebImageManager::currentNetworkActivityCount(), before);
    EXPECT_FALSE(application->isNetworkActivityIndicatorVisible());
    application->resetForTesting();
}

}  // namespace

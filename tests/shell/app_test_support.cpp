#include "app_test_support.h"

#include <unistd.h>

#include "net/JKCodec.h"
#include "platform/foundation/Array.h"

namespace apptest {

namespace {

constexpr const char* Variables[] = {"GAMEHOST_RESOURCES", "GAMEHOST_HOME", "GAMEHOST_GAME_PAGE_URL",
                                     "GAMEHOST_PLATFORM_SERVER_URL", "GAMEHOST_GAME_SERVER_URL",
                                     "GAMEHOST_CHANNEL_API_URL", "GAMEHOST_ACTIVITY_PAGE_URL",
                                     "GAMEHOST_CHANNEL_CHAT_URL"};

ns::Ref<ns::String> text(const std::string& s) { return ns::String::make(s); }

}  // namespace

AppTest::AppTest() {
    ui::resetSharedStateForTesting();
    std::string pattern = (std::filesystem::temp_directory_path() / "shell-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    folder = pattern;
    std::filesystem::copy(GAMEHOST_SOURCE_RESOURCES, folder / "resources", std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(folder / "home");
    ::setenv("GAMEHOST_RESOURCES", (folder / "resources").c_str(), 1);
    ::setenv("GAMEHOST_HOME", (folder / "home").c_str(), 1);
    ::setenv("GAMEHOST_PLATFORM_SERVER_URL", platform.http().origin().c_str(), 1);
    ::setenv("GAMEHOST_GAME_SERVER_URL", game.http().origin().c_str(), 1);
    pages = std::make_unique<sandbox::GamePageServer>();
    setPageURL(pages->pageURL());
    ns::UserDefaults::resetStandardUserDefaultsForTesting();

    auto& factory = KVTRViewFactory::shared();
    factory.reset();
    factory.setGMShopViewMaker([this] { return gmShops.make(); });
    factory.setVerticalGMShopViewMaker([this] { return verticalGmShops.make(); });
    factory.setResourceHallViewMaker([this] { return resourceHalls.make(); });
    factory.setVerResourceHallViewMaker([this] { return verticalResourceHalls.make(); });
    KVTRChannelSDK::setShared(channel);
    ROZCoreEntity::resetSharedInstanceForTesting();
}

AppTest::~AppTest() {
    KVTRChannelSDK::setShared(nullptr);
    KVTRViewFactory::shared().reset();
    ROZCoreEntity::resetSharedInstanceForTesting();
    ui::resetSharedStateForTesting();
    env.fastForwardUntilNoTasksRemain();
    ns::UserDefaults::resetStandardUserDefaultsForTesting();
    for (const char* name : Variables) ::unsetenv(name);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void AppTest::launch() {
    auto delegate = ui::makeApplicationDelegate("AppDelegate");
    ASSERT_TRUE(delegate);
    auto app = ui::Application::sharedApplication();
    app->setDelegate(delegate);
    app->launch();
    env.runUntilIdle();
}

void AppTest::setPageURL(const std::string& url) { ::setenv("GAMEHOST_GAME_PAGE_URL", url.c_str(), 1); }

ns::Ref<AppDelegate> AppTest::appDelegate() const {
    return std::dynamic_pointer_cast<AppDelegate>(ui::Application::sharedApplication()->delegate());
}

ns::Ref<ViewController> AppTest::screen() const {
    auto delegate = appDelegate();
    if (!delegate || !delegate->window()) return nullptr;
    return std::dynamic_pointer_cast<ViewController>(delegate->window()->rootViewController());
}

bool AppTest::settle(const std::function<bool()>& done, double seconds) {
    const double step = 0.25;
    for (double waited = 0; waited <= seconds; waited += step) {
        env.runUntilIdle();
        if (done()) return true;
        env.fastForwardBy(step);
    }
    return done();
}

ns::Id AppTest::evaluate(const std::string& script) {
    auto webView = screen() ? screen()->wkWebView() : nullptr;
    if (!webView) {
        ADD_FAILURE() << "no web view";
        return nullptr;
    }
    bool finished = false;
    ns::Id answer;
    webView->evaluateJavaScript(script, [&](ns::Id result, ns::Ref<ns::Error> error) {
        EXPECT_FALSE(error) << script << ": " << str(error);
        answer = std::move(result);
        finished = true;
    });
    EXPECT_TRUE(settle([&] { return finished; }, 5)) << script;
    return answer;
}

void AppTest::post(const std::string& json) {
    auto literal = JKCodec::JSONString(ns::String(json));
    evaluate("window.webkit.messageHandlers.eventComplete.postMessage(" + literal->utf8() + "); true");
}

void AppTest::recordPageCallbacks() {
    evaluate(
        "var shellTestReceived = [];"
        "(function () {"
        "  var original = CallbackFromIOS;"
        "  CallbackFromIOS = function (text) { shellTestReceived.push(text); return original(text); };"
        "})(); true");
}

std::vector<std::string> AppTest::pageCallbacks() {
    std::vector<std::string> texts;
    auto json = ns::cast<ns::String>(evaluate("typeof shellTestReceived === \"undefined\" ? \"[]\" : JSON.stringify(shellTestReceived)"));
    if (!json) return texts;
    auto list = ns::cast<ns::Array>(JKCodec::objectFromJSONString(*json));
    if (!list) return texts;
    for (const auto& item : *list) texts.push_back(str(item));
    return texts;
}

ns::Ref<ns::Dictionary> AppTest::lastPageCallback(const std::string& action) {
    ns::Ref<ns::Dictionary> found;
    for (const auto& textReceived : pageCallbacks()) {
        auto object = ns::cast<ns::Dictionary>(JKCodec::objectFromJSONString(ns::String(textReceived)));
        if (object && str(object->objectForKey("action")) == action) found = object;
    }
    return found;
}

void AppTest::answerLogin(const std::string& userName, const std::string& sign) {
    ASSERT_TRUE(channel->loginSuccess) << "the channel login was never opened";
    channel->loginSuccess(text("1700000000"), text(userName), text(sign), text("1"));
}

void AppTest::loginThroughPage() {
    ASSERT_TRUE(settle([&] { return screen() && screen()->pageFinished() == 1 && channel->count("login") == 1; }));
    recordPageCallbacks();
    answerLogin();
    ASSERT_TRUE(settle([&] { return lastPageCallback("loginNotify") != nullptr; }));
}

int AppTest::requestsTo(const sandbox::HttpServer& server, const std::string& path) const {
    int n = 0;
    for (const auto& request : server.requests()) n += request.path == path;
    return n;
}

}  // namespace apptest

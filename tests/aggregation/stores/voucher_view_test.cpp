// The voucher page against an activity page on loopback: the identity
// answer to "get_remark", what gets no answer, and the page's dialogs.

#include "aggregation/stores/KVTRVoucherView.h"
#include "platform/foundation/Text.h"
#include "platform/testing/LoopbackServer.h"
#include "tests/aggregation/stores/stores_test_support.h"

namespace {

using namespace storestest;

// Posts what the test puts in `window.toPost` and keeps every callback.
const char* kPage = R"(<!DOCTYPE html><html><head><script>
var got = [];
var dialogs = [];
function CallbackFromIOS(text) { got.push(text); }
function post(body) { window.webkit.messageHandlers.eventComplete.postMessage(body); }
</script></head><body></body></html>)";

class VoucherViewTest : public StoresTest {
protected:
    VoucherViewTest() {
        pages.route("GET", "/128voucher/index.html", testing::Reply::text(kPage, "text/html"));
        ::setenv("GAMEHOST_ACTIVITY_PAGE_URL", pages.baseURL().c_str(), 1);
    }
    ~VoucherViewTest() override { ::unsetenv("GAMEHOST_ACTIVITY_PAGE_URL"); }

    ns::Ref<KVTRVoucherView> openPage() {
        auto view = std::make_shared<KVTRVoucherView>();
        view->setFrame({0, 30, 607, 315});
        app->window_->addSubview(view);
        view->layoutIfNeeded();
        env.runUntilIdle();
        return view;
    }

    std::string run(const ns::Ref<KVTRVoucherView>& view, const std::string& script) {
        std::string answer;
        view->wkWebView->evaluateJavaScript(script, [&](ns::Id result, ns::Ref<ns::Error>) { answer = ns::textOf(result); });
        env.runUntilIdle();
        return answer;
    }

    testing::LoopbackServer pages;
};

TEST_F(VoucherViewTest, GetRemarkIsAnsweredOnceWithTheIdentityAsCompactJSONWithValuesIntact) {
    auto view = openPage();
    EXPECT_EQ(pages.requests().size(), 1u);
    EXPECT_EQ(pages.requests()[0].query, "os_type=2");
    view->userInfo = text(kIdentity);
    run(view, R"(post(JSON.stringify({action: "get_remark"})))");
    EXPECT_EQ(run(view, "got.length"), "1");
    // The page parses what it got: quotes and spaces in values arrive whole.
    EXPECT_EQ(run(view, "JSON.parse(got[0]).data.role_name"), "Ann 'O");
    EXPECT_EQ(run(view, "JSON.parse(got[0]).data.service_name"), "Dark Knight");
    const std::string raw = run(view, "got[0]");
    EXPECT_EQ(raw.find(": "), std::string::npos) << raw;
    EXPECT_EQ(raw.find('\n'), std::string::npos) << raw;
    EXPECT_EQ(raw.rfind("{\"data\":{", 0), 0u) << raw;
}

TEST_F(VoucherViewTest, OtherActionsAndBodiesThatAreNotJSONGetNoAnswer) {
    auto view = openPage();
    view->userInfo = text(kIdentity);
    run(view, R"(post(JSON.stringify({action: "other"})))");
    run(view, R"(post("not json"))");
    run(view, R"(post({action: "get_remark"}))");
    run(view, R"(post("[1,2]"))");
    EXPECT_EQ(run(view, "got.length"), "0");
}

TEST_F(VoucherViewTest, BeforeTheIdentityTheAnswerIsAnEmptyObject) {
    auto view = openPage();
    run(view, R"(post(JSON.stringify({action: "get_remark"})))");
    EXPECT_EQ(run(view, "got[0]"), "{}");
}

TEST_F(VoucherViewTest, EscapingKeepsLineSeparatorsAndControlCharactersInsideTheLiteral) {
    auto view = openPage();
    view->userInfo = text("{\"role_name\":\"a\\u2028b\\\\c\\u0001\"}");
    run(view, R"(post(JSON.stringify({action: "get_remark"})))");
    ASSERT_EQ(run(view, "got.length"), "1");
    EXPECT_EQ(run(view, "JSON.parse(got[0]).data.role_name === 'a\\u2028b\\\\c\\u0001'"), "1");
}

TEST_F(VoucherViewTest, DialogsAreAnsweredAtOnceAndEveryLayoutPassLoadsThePageAgain) {
    auto view = openPage();
    EXPECT_EQ(run(view, "confirm('sure?')"), "1");
    EXPECT_EQ(run(view, "String(prompt('name?'))"), "null");
    run(view, "alert('hi')");
    view->setNeedsLayout();
    view->layoutIfNeeded();
    env.runUntilIdle();
    EXPECT_EQ(pages.requests().size(), 2u);
    // Off the window the handler registration is dropped.
    view->removeFromSuperview();
    EXPECT_TRUE(view->wkWebView->configuration()->userContentController()->handlerNames().empty());
}

}  // namespace

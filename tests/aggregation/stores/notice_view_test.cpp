// The start-up announcement: its panel, text notices with and without a
// link, web notices and the page's "openurl".

#include "aggregation/stores/TRKVNoticeView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "tests/aggregation/stores/stores_test_support.h"

namespace {

using namespace storestest;

class NoticeViewTest : public StoresTest {
protected:
    ns::Ref<TRKVNoticePopView> showNotice(const std::string& type, const std::string& content,
                                          const std::string& url = "(null)") {
        auto view = std::make_shared<TRKVNoticePopView>();
        view->notice_url = text(url);
        view->notice_type = text(type);
        view->notice_content = text(content);
        view->notice_title = text("公告");
        view->show();
        view->layoutIfNeeded();
        env.runUntilIdle();
        return view;
    }

    std::vector<std::string> opened() {
        std::vector<std::string> urls;
        for (auto& url : ui::Application::sharedApplication()->openedURLs()) urls.push_back(ns::textOf(url->absoluteString()));
        return urls;
    }

    // Taps the text view where the closest text position is `position`.
    bool tapAtPosition(const ns::Ref<TRKVNoticePopView>& view, uint64_t position) {
        auto& textView = view->textView;
        const double y = textView->bounds().size.height / 2;
        for (double x = 0; x < textView->bounds().size.width; x += 0.5) {
            for (double line = 0; line < textView->bounds().size.height; line += 2) {
                if (textView->closestIndexToPoint({x, line}) == position) {
                    (void)y;
                    return driver.tapAt(textView->convertPointToView({x, line}, nullptr));
                }
            }
        }
        return false;
    }
};

TEST_F(NoticeViewTest, ThePanelIsCentredAndTheCoverSwallowsTaps) {
    ns::LogCapture log;
    auto view = showNotice("1", "短");
    EXPECT_TRUE(log.contains("screen: notice: 公告 | 短 | [知道了]"));
    EXPECT_EQ(view->frame(), (cg::Rect{156, 40, 355, 295}));
    EXPECT_EQ(ns::textOf(view->titleView->text()), "公告");
    // A short text sits in the middle of the text area.
    EXPECT_GT(view->textView->contentInset().top, 0);
    ASSERT_TRUE(driver.tapAt({20, 20}));
    EXPECT_TRUE(view->superview());
    ASSERT_TRUE(driver.tap("知道了"));
    EXPECT_FALSE(view->superview());
    EXPECT_FALSE(view->coverView.lock());
}

TEST_F(NoticeViewTest, OnlyTheLinkTextIsLinkedAndOnlyItOpensTheAddress) {
    ns::LogCapture log;
    auto view = showNotice("2", R"({"content":"abc","url_content":"b","url":"https://news.example/b"})");
    auto shown = view->textView->attributedText();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->attributeAtIndex(ui::LinkAttributeName, 0));
    EXPECT_EQ(ns::textOf(shown->attributeAtIndex(ui::LinkAttributeName, 1)), "wenzilianjie://");
    EXPECT_FALSE(shown->attributeAtIndex(ui::LinkAttributeName, 2));
    EXPECT_EQ(ns::textOf(view->contentUrl), "https://news.example/b");
    EXPECT_TRUE(log.contains("screen: notice: 公告 | abc | [知道了]"));

    ASSERT_TRUE(tapAtPosition(view, 0));
    ASSERT_TRUE(tapAtPosition(view, 1));
    ASSERT_TRUE(tapAtPosition(view, 3));
    EXPECT_TRUE(opened().empty());
    ASSERT_TRUE(tapAtPosition(view, 2));
    EXPECT_EQ(opened(), std::vector<std::string>{"https://news.example/b"});
}

TEST_F(NoticeViewTest, LinkTextThatIsMissingOrNotJSONLeavesPlainText) {
    auto missing = showNotice("2", R"({"content":"abc","url_content":"z","url":"https://x.example"})");
    EXPECT_FALSE(missing->textView->attributedText()->hasAttribute(ui::LinkAttributeName));
    auto notJson = showNotice("2", "plain words");
    EXPECT_EQ(ns::textOf(notJson->textView->text()), "plain words");
    EXPECT_FALSE(notJson->textView->attributedText()->hasAttribute(ui::LinkAttributeName));
}

TEST_F(NoticeViewTest, FittingStepsTheFontDownButNotBelowTenPoints) {
    std::string longText;
    for (int i = 0; i < 400; ++i) longText += "很长的公告文字";
    auto view = showNotice("1", longText);
    view->contentSizeToFit();
    EXPECT_GE(view->textView->font()->pointSize(), TRKVNoticePopView::SmallestFontSize);
    EXPECT_EQ(view->textView->contentInset().top, 0);
}

TEST_F(NoticeViewTest, WebNoticesLoadTheirPageWhichMayAskToOpenALink) {
    testing::LoopbackServer pages;
    pages.route("GET", "/notice.html",
                testing::Reply::text("<html><head><script>function post(b){"
                                     "window.webkit.messageHandlers.eventComplete.postMessage(b);}</script></head>"
                                     "<body></body></html>",
                                     "text/html"));
    auto view = showNotice("(null)", "", pages.url("/notice.html"));
    EXPECT_TRUE(view->textView->isHidden());
    EXPECT_FALSE(view->wkWebView->isHidden());
    ASSERT_EQ(pages.requests().size(), 1u);
    auto run = [&](const std::string& script) {
        view->wkWebView->evaluateJavaScript(script);
        env.runUntilIdle();
    };
    run(R"(post(JSON.stringify({action:"openurl",data:{link:"https://object.example"}})))");
    run(R"(post(JSON.stringify({action:"other",data:JSON.stringify({link:"https://other.example"})})))");
    EXPECT_TRUE(opened().empty());
    run(R"(post(JSON.stringify({action:"openurl",data:JSON.stringify({link:"https://text.example/x"})})))");
    EXPECT_EQ(opened(), std::vector<std::string>{"https://text.example/x"});
}

}  // namespace

#include "aggregation/stores/TRKVNoticeView.h"

#include <algorithm>
#include <cmath>

#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/AttributedTextStyles.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GestureRecognizer.h"

RT_DEFINE_CLASS(TRKVNoticePopView, TRKVNoticeView, "TRKVNoticePopView")

using namespace kvtr_stores;

namespace {

constexpr const char* LinkValue = "wenzilianjie://";
constexpr double TextFontSize = 18;

ui::Color noticeRed() { return rgb(246, 71, 32); }

// The shorter side of the screen.
double shortSide() {
    const cg::Size size = screenBounds().size;
    return std::min(size.width, size.height);
}

ns::Ref<ns::URL> urlOf(const ns::Ref<ns::String>& text) { return text ? ns::URL::make(text->utf8()) : nullptr; }

}  // namespace

TRKVNoticePopView::TRKVNoticePopView() {
    const double M = shortSide();
    const double S = M - 30;
    titleView = makeLabel({0, 0, S, 44}, ui::Font::boldSystemFontOfSize(20), ui::whiteColor(), ui::TextAlignment::Center);
    titleView->setBackgroundColor(noticeRed());
    addSubview(titleView);

    auto content = ui::View::make({0, 45, S, M - 180});
    content->setBackgroundColor(ui::whiteColor());
    addSubview(content);
    textView = ui::TextView::make({20, 0, S - 40, M - 180});
    textView->setTextColor(ui::blackColor());
    textView->setTextAlignment(ui::TextAlignment::Left);
    textView->setEditable(false);
    textView->setHidden(true);
    content->addSubview(textView);
    wkWebView = makeWebView(content->bounds());
    content->addSubview(wkWebView);

    auto separator = ui::View::make({0, M - 135, S, 1});
    separator->setBackgroundColor(rgb(241, 241, 241));
    addSubview(separator);

    auto sure = ui::Button::buttonWithType(ui::ButtonType::Custom);
    sure->setFrame({0, M - 134, S, 44});
    sure->setBackgroundColor(ui::whiteColor());
    sure->setTitle("知道了", ui::ControlStateNormal);
    sure->titleLabel()->setFont(ui::Font::systemFontOfSize(18));
    sure->setTitleColor(noticeRed(), ui::ControlStateNormal);
    sure->addTarget(ns::Id(), "sureBtnClick", [this](ui::Control&, ui::Event*) { sureBtnClick(); },
                    ui::ControlEventTouchUpInside);
    addSubview(sure);
}

void TRKVNoticePopView::show() {
    auto window = keyWindow();
    if (!window) return;
    auto cover = makeCover(window->bounds(), 0.5);
    coverView = cover;
    window->addSubview(cover);
    const double M = shortSide();
    setFrame({10, 0, M - 20, M - 80});
    setCenter(window->center());
    layer()->setCornerRadius(12);
    window->addSubview(ref<ui::View>());
}

void TRKVNoticePopView::sureBtnClick() {
    if (auto cover = coverView.lock()) cover->removeFromSuperview();
    removeFromSuperview();
}

void TRKVNoticePopView::didMoveToWindow() {
    TRKVNoticeView::didMoveToWindow();
    bind(wkWebView, std::dynamic_pointer_cast<TRKVNoticePopView>(shared_from_this()), window() != nullptr);
}

void TRKVNoticePopView::showText(const ns::Ref<ns::String>& text) {
    ns::logScreen("notice", ns::textOf(notice_title) + " | " + ns::textOf(text) + " | [知道了]");
    textView->setHidden(false);
    wkWebView->setHidden(true);
    titleView->setText(notice_title);
    textView->setText(text);
    auto style = ui::ParagraphStyle::make();
    style->setLineSpacing(5);
    ui::TextAttributes attributes;
    attributes[ui::FontAttributeName] = ui::Font::systemFontOfSize(TextFontSize);
    attributes[ui::ParagraphStyleAttributeName] = style;
    textView->setAttributedText(ui::AttributedText::make(text, attributes));
    const double width = textView->frame().size.width;
    const double needed = textView->sizeThatFits({width, 1e7}).height;
    if (shortSide() - 180 > needed) contentSizeToFit();
}

void TRKVNoticePopView::layoutSubviews() {
    TRKVNoticeView::layoutSubviews();
    // Filling changes the text view, which asks for another pass: only a
    // pass with new texts or a new size fills again, or passes would never
    // end.
    const std::string filling = ns::textOf(notice_type) + '\n' + ns::textOf(notice_content) + '\n' +
                                ns::textOf(notice_title) + '\n' + ns::textOf(notice_url) + '\n' +
                                std::to_string(bounds().size.width) + 'x' + std::to_string(bounds().size.height);
    if (filling == filled_) return;
    filled_ = filling;
    const std::string type = ns::textOf(notice_type);
    if (type == "1") {
        showText(notice_content);
        return;
    }
    if (type == "2") {
        auto parsed = ns::cast<ns::Dictionary>(jsonWithoutLineBreaks(notice_content));
        // Content that is not a JSON object shows as it came, without a link.
        auto content = parsed ? textValue(parsed, "content") : notice_content;
        contentStr = textValue(parsed, "url_content");
        contentUrl = textValue(parsed, "url");
        showText(content);
        auto linked = ui::AttributedText::make(content);
        const uint64_t length = linked->length();
        if (length > 0) {
            linked->addAttribute(ui::FontAttributeName, ui::Font::systemFontOfSize(TextFontSize), {0, length});
        }
        if (content && contentStr && contentStr->length() > 0) {
            const ns::Range found = content->rangeOfString(contentStr->utf8());
            if (found.found()) linked->addAttribute(ui::LinkAttributeName, ns::str(LinkValue), found);
        }
        textView->setAttributedText(linked);
        ui::TextAttributes linkLook;
        linkLook[ui::ForegroundColorAttributeName] = ui::valueWithColor(noticeRed());
        textView->setLinkTextAttributes(linkLook);
        textView->setEditable(false);
        textView->setScrollEnabled(false);
        textView->setSelectable(false);
        textView->setDelegate(std::dynamic_pointer_cast<TRKVNoticePopView>(shared_from_this()));
        if (!linkTap_) {
            ns::Weak<TRKVNoticePopView> weak = std::dynamic_pointer_cast<TRKVNoticePopView>(shared_from_this());
            linkTap_ = std::make_shared<ui::TapGestureRecognizer>([weak](ui::GestureRecognizer& tap) {
                if (auto self = weak.lock()) self->linkTapped(tap);
            });
            textView->addGestureRecognizer(linkTap_);
        }
        return;
    }
    ns::logScreen("notice", ns::textOf(notice_title) + " | " + ns::textOf(notice_url) + " | [知道了]");
    textView->setHidden(true);
    wkWebView->setHidden(false);
    titleView->setText(notice_title);
    if (auto url = urlOf(notice_url)) wkWebView->loadRequest(ns::URLRequest::make(url));
}

void TRKVNoticePopView::linkTapped(ui::GestureRecognizer& tap) {
    const uint64_t position = textView->closestIndexToPoint(tap.locationInView(textView.get()));
    // Position 0 has no character before it.
    auto text = textView->attributedText();
    if (position == 0 || !text || position > text->length()) return;
    if (!text->attributeAtIndex(ui::LinkAttributeName, position - 1)) return;
    const ns::Range range = text->string()->rangeOfString(ns::textOf(contentStr));
    textViewShouldInteractWithURL(*textView, urlOf(contentUrl), range, ui::TextItemInteraction::InvokeDefaultAction);
}

bool TRKVNoticePopView::textViewShouldInteractWithURL(ui::TextView&, const ns::Ref<ns::URL>& url, ns::Range,
                                                      ui::TextItemInteraction) {
    if (url) ui::Application::sharedApplication()->openURL(url);
    return true;
}

void TRKVNoticePopView::contentSizeToFit() {
    if (ns::textOf(textView->text()).empty() || !textView->text()) return;
    const double width = textView->frame().size.width;
    const double F = textView->frame().size.height;
    cg::Size size = textView->sizeThatFits({width, 1e7});
    cg::EdgeInsets inset{0, 0, 0, 0};
    if (size.height <= F) {
        inset.top = (F - size.height) / 2;
    } else {
        // Smaller type until the text fits, but never below a readable size.
        for (double points = TextFontSize; size.height > F && points >= SmallestFontSize; points -= 1) {
            textView->setFont(ui::Font::fontWithName("Helvetica Neue", points));
            size = textView->sizeThatFits({width, 1e7});
        }
    }
    textView->setContentSize(size);
    textView->setContentInset(inset);
}

void TRKVNoticePopView::userContentControllerDidReceiveScriptMessage(web::UserContentController&,
                                                                     const ns::Ref<web::ScriptMessage>& message) {
    if (!message || ns::textOf(message->name()) != "eventComplete") return;
    auto body = ns::cast<ns::Dictionary>(jsonWithoutLineBreaks(ns::str(ns::textOf(message->body()))));
    if (!body) return;
    // "data" must itself be a JSON text; an object there carries no link.
    auto data = ns::cast<ns::Dictionary>(jsonWithoutLineBreaks(ns::cast<ns::String>(body->objectForKey("data"))));
    auto link = textValue(data, "link");
    if (ns::textOf(body->objectForKey("action")) != "openurl") return;
    if (auto url = urlOf(link)) ui::Application::sharedApplication()->openURL(url);
}

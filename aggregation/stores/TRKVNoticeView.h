#pragma once
// The start-up announcement: a panel over a dimmed cover with a title bar,
// the notice and one button "知道了" that closes it. Type "1" shows text,
// type "2" text with one tappable link, any other type a web page, which
// may ask for an address to be opened ({action "openurl", data
// "{\"link\": ...}"}). A layout pass fills the panel again when its texts
// or its size changed.
//
// The facade knows it as TRKVNoticeView; TRKVNoticePopView is its screen.

#include <string>

#include "aggregation/core/KVTRViews.h"
#include "aggregation/stores/KVTRWebPageHost.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TextView.h"

class TRKVNoticePopView : public TRKVNoticeView, public KVTRWebPageHost, public ui::TextViewDelegate {
    RT_DECLARE_CLASS(TRKVNoticePopView)
public:
    TRKVNoticePopView();

    ns::Ref<ui::Label> titleView;
    ns::Ref<ui::TextView> textView;
    ns::Ref<web::WebView> wkWebView;
    // Held by the key window while shown.
    ns::Weak<ui::Button> coverView;
    ns::Ref<ns::String> contentStr;
    ns::Ref<ns::String> contentUrl;

    void show() override;
    void sureBtnClick();
    void contentSizeToFit();
    void layoutSubviews() override;
    void didMoveToWindow() override;

    // The smallest size the fitting steps the font down to.
    static constexpr double SmallestFontSize = 10;

    bool textViewShouldInteractWithURL(ui::TextView& view, const ns::Ref<ns::URL>& url, ns::Range range,
                                       ui::TextItemInteraction interaction) override;
    void userContentControllerDidReceiveScriptMessage(web::UserContentController& controller,
                                                      const ns::Ref<web::ScriptMessage>& message) override;

private:
    void showText(const ns::Ref<ns::String>& text);
    void linkTapped(ui::GestureRecognizer& tap);
    ns::Ref<ui::GestureRecognizer> linkTap_;
    // What the panel was last filled from.
    std::string filled_;
};

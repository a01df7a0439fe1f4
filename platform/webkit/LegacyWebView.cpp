#include "platform/webkit/LegacyWebView.h"

#include "platform/runtime/Exception.h"
#include "platform/webkit/Frame.h"

namespace web {

namespace detail {

class LegacyFrameClient final : public FrameClient {
public:
    explicit LegacyFrameClient(LegacyWebView& view) : view_(view) {}

    void decidePolicy(const ns::Ref<ns::URLRequest>& request, NavigationType type,
                      std::function<void(bool)> decide) override {
        auto view = self();
        auto delegate = view ? view->delegate() : nullptr;
        decide(!delegate || delegate->shouldStartLoadWithRequest(*view, request, legacyType(type)));
    }

    void didStartProvisional(const ns::Ref<Navigation>&) override {
        if (auto view = self(); auto delegate = view ? view->delegate() : nullptr) delegate->didStartLoad(*view);
    }

    void didCommit(const ns::Ref<Navigation>&) override {}

    void didFinish(const ns::Ref<Navigation>&) override {
        if (auto view = self(); auto delegate = view ? view->delegate() : nullptr) delegate->didFinishLoad(*view);
    }

    void didFailProvisional(const ns::Ref<Navigation>&, const ns::Ref<ns::Error>& error) override {
        if (auto view = self(); auto delegate = view ? view->delegate() : nullptr) {
            delegate->didFailLoadWithError(*view, error);
        }
    }

private:
    static LegacyNavigationType legacyType(NavigationType type) {
        switch (type) {
        case NavigationType::LinkActivated: return LegacyNavigationType::LinkClicked;
        case NavigationType::FormSubmitted: return LegacyNavigationType::FormSubmitted;
        case NavigationType::BackForward: return LegacyNavigationType::BackForward;
        case NavigationType::Reload: return LegacyNavigationType::Reload;
        case NavigationType::FormResubmitted: return LegacyNavigationType::FormResubmitted;
        case NavigationType::Other: break;
        }
        return LegacyNavigationType::Other;
    }

    ns::Ref<LegacyWebView> self() const {
        return std::static_pointer_cast<LegacyWebView>(view_.weak_from_this().lock());
    }

    LegacyWebView& view_;
};

}  // namespace detail

RT_DEFINE_CLASS(LegacyWebView, ui::View, "UIWebView")

LegacyWebView::LegacyWebView() : View() { commonInit(); }

LegacyWebView::LegacyWebView(const cg::Rect& frame) : View(frame) { commonInit(); }

LegacyWebView::~LegacyWebView() { frame_->close(); }

ns::Ref<LegacyWebView> LegacyWebView::make(const cg::Rect& frame) { return std::make_shared<LegacyWebView>(frame); }

void LegacyWebView::commonInit() {
    scrollView_ = ui::ScrollView::make(bounds());
    scrollView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    addSubview(scrollView_);
    client_ = std::make_unique<detail::LegacyFrameClient>(*this);
    frame_ = std::make_shared<detail::Frame>(*client_);
}

void LegacyWebView::loadRequest(const ns::Ref<ns::URLRequest>& request) {
    if (!request || !request->URL()) ns::Exception::raise(ns::InvalidArgumentException, "loadRequest: no URL");
    frame_->load(request, NavigationType::Other);
}

void LegacyWebView::loadHTMLString(std::string_view html, const ns::Ref<ns::URL>& baseURL) {
    frame_->loadHTMLString(html, baseURL);
}

void LegacyWebView::reload() { frame_->reload(); }

void LegacyWebView::stopLoading() { frame_->stopLoading(); }

bool LegacyWebView::canGoBack() const { return frame_->canGoBack(); }

bool LegacyWebView::canGoForward() const { return frame_->canGoForward(); }

void LegacyWebView::goBack() { frame_->goBack(); }

void LegacyWebView::goForward() { frame_->goForward(); }

ns::Ref<ns::String> LegacyWebView::stringByEvaluatingJavaScriptFromString(std::string_view script) {
    detail::ScriptOutcome outcome = frame_->evaluate(script, detail::Page::Result::Text);
    return ns::str(outcome.ok ? outcome.text : std::string());
}

bool LegacyWebView::isLoading() const { return frame_->isLoading(); }

ns::Ref<ns::URLRequest> LegacyWebView::request() const { return frame_->request(); }

}  // namespace web

#pragma once
// The app's one screen: a full-screen web view running the game page. The
// page posts JSON messages to the "eventComplete" handler; the screen turns
// them into calls of the aggregation facade and turns the facade's
// callbacks into CallbackFromIOS('<json>') calls of the page.
//
// Main thread only.

#include <memory>

#include "aggregation/core/ROZCoreEntityDelegate.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/ViewController.h"
#include "platform/webkit/NavigationDelegate.h"
#include "platform/webkit/ScriptMessageHandler.h"
#include "platform/webkit/UIDelegate.h"
#include "platform/webkit/WebView.h"

class ViewController : public ui::ViewController,
                       public web::ScriptMessageHandler,
                       public web::NavigationDelegate,
                       public web::UIDelegate,
                       public ROZCoreEntityDelegate {
    RT_DECLARE_CLASS(ViewController)
public:
    static constexpr const char* MessageHandlerName = "eventComplete";
    static constexpr const char* CurtainImageName = "yxjkbg.png";
    // The curtain hides the page's first load this long, then fades.
    static constexpr double CurtainSeconds = 2.0;
    static constexpr double CurtainFadeSeconds = 0.5;

    ViewController();
    ~ViewController() override;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewWillAppear(bool animated) override;
    bool prefersStatusBarHidden() const override { return true; }

    const ns::Ref<web::WebView>& wkWebView() const { return wkWebView_; }
    // 1 once a load of the page has finished; back to 0 when a logout
    // reloads it. Only the role report waits for it.
    int pageFinished() const { return pageFinished_; }
    // The platform user id and token of the last login; kept across logouts.
    const ns::Ref<ns::String>& super_user_id() const { return super_user_id_; }
    const ns::Ref<ns::String>& serviceToken() const { return serviceToken_; }
    // An outlet of the interface file; the screen makes none itself.
    const ns::Ref<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    void setActivityIndicator(const ns::Ref<ui::ActivityIndicatorView>& indicator) { activityIndicator_ = indicator; }
    // Nil once it has faded.
    const ns::Ref<ui::ImageView>& curtain() const { return curtain_; }

    // Sends {action, data} to the page's CallbackFromIOS on a later turn of
    // the main queue; nothing waits for the page.
    void callJS(const ns::Ref<ns::Dictionary>& callback);

    // ---- Page messages ----
    void userContentControllerDidReceiveScriptMessage(web::UserContentController& controller,
                                                      const ns::Ref<web::ScriptMessage>& message) override;

    // ---- Navigation ----
    void didFinishNavigation(web::WebView& webView, const ns::Ref<web::Navigation>& navigation) override;
    void didFailProvisionalNavigation(web::WebView& webView, const ns::Ref<web::Navigation>& navigation,
                                      const ns::Ref<ns::Error>& error) override;

    // ---- Page dialogs ----
    void runJavaScriptAlertPanelWithMessage(web::WebView& webView, const ns::Ref<ns::String>& message,
                                            AlertCompletion completion) override;
    void runJavaScriptConfirmPanelWithMessage(web::WebView& webView, const ns::Ref<ns::String>& message,
                                              ConfirmCompletion completion) override;
    void runJavaScriptTextInputPanelWithPrompt(web::WebView& webView, const ns::Ref<ns::String>& prompt,
                                               const ns::Ref<ns::String>& defaultText,
                                               PromptCompletion completion) override;

    // ---- The facade's callbacks ----
    void kvtr_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>& result) override;
    void getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>& reply) override;
    void canEnterListenCallBack(const ns::Ref<ns::String>& canEnter) override;
    void getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& order) override;
    void getPayFailCallBack(const ns::Ref<ns::Dictionary>& order) override;
    void logOutCallBack(const ns::Ref<ns::String>& result) override;
    void rechargeCallBack(const ns::Ref<ns::String>& event) override;

private:
    std::shared_ptr<ViewController> self_();
    // Requests the game page; false (with the failure alert) when no usable
    // address is configured.
    bool loadGamePage();
    void reloadGamePage();
    void showConnectionFailure();
    void sendPayResult(const char* status, const ns::Ref<ns::Dictionary>& order);
    void handlePageMessage(const ns::Id& body);

    ns::Ref<web::WebView> wkWebView_;
    int pageFinished_ = 0;
    ns::Ref<ns::String> super_user_id_;
    ns::Ref<ns::String> serviceToken_;
    ns::Ref<ui::ActivityIndicatorView> activityIndicator_;
    ns::Ref<ui::ImageView> curtain_;
};

#include "shell/ViewController.h"

#include "aggregation/core/ROZCoreEntity.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/View.h"
#include "platform/webkit/WebViewConfiguration.h"
#include "shell/GameHostConfiguration.h"
#include "shell/PageCallback.h"
#include "shell/PageFields.h"

RT_DEFINE_CLASS(ViewController, ui::ViewController, "ViewController")

namespace {

// The layout follows the safe area from this system version on.
constexpr int SafeAreaSystemVersion = 11;

bool safeAreaLayout() { return ui::Screen::mainScreen()->model().systemMajorVersion() >= SafeAreaSystemVersion; }

ns::Ref<ns::String> text(const char* utf8) { return ns::String::make(utf8); }

ns::Ref<ns::String> textOf(const ns::Ref<ns::Dictionary>& dictionary, std::string_view key) {
    return ns::String::make(ns::textOf(dictionary ? dictionary->objectForKey(key) : nullptr));
}

}  // namespace

ViewController::ViewController() = default;
ViewController::~ViewController() = default;

std::shared_ptr<ViewController> ViewController::self_() { return ref<ViewController>(); }

void ViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(ui::blackColor());

    ROZCoreEntity::sharedInstance()->kvtr_setStartLoginListener(self_());
    pageFinished_ = 0;

    auto configuration = web::WebViewConfiguration::make();
    configuration->userContentController()->addScriptMessageHandler(self_(), MessageHandlerName);

    wkWebView_ = web::WebView::make(ui::Screen::mainScreen()->bounds(), configuration);
    root->addSubview(wkWebView_);
    if (safeAreaLayout()) {
        wkWebView_->scrollView()->setContentInsetAdjustmentBehavior(ui::ScrollViewContentInsetAdjustmentBehavior::Never);
    }
    wkWebView_->setBackgroundColor(ui::clearColor());
    wkWebView_->setUIDelegate(self_());
    wkWebView_->setNavigationDelegate(self_());
    wkWebView_->scrollView()->setScrollEnabled(false);

    loadGamePage();

    // The curtain hides the page while it loads, then fades with the root
    // view's alpha and goes.
    curtain_ = ui::ImageView::make(ui::Screen::mainScreen()->bounds());
    curtain_->setImage(ui::Image::imageNamed(CurtainImageName));
    root->addSubview(curtain_);
    ns::Weak<ViewController> weak = self_();
    dispatch::after(CurtainSeconds, dispatch::mainQueue(), [weak] {
        auto self = weak.lock();
        if (!self) return;
        ui::View::animate(
            CurtainFadeSeconds, [weak] {
                if (auto self = weak.lock()) self->view()->setAlpha(1.0);
            },
            [weak](bool) {
                auto self = weak.lock();
                if (!self || !self->curtain_) return;
                self->curtain_->removeFromSuperview();
                self->curtain_ = nullptr;
            });
    });
}

void ViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    // The platform's windows do not ask their root controller about the
    // status bar, so the screen applies its own preference.
    ui::Application::sharedApplication()->setStatusBarHidden(prefersStatusBarHidden());
}

void ViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (!wkWebView_ || !safeAreaLayout()) return;
    auto root = view();
    cg::EdgeInsets insets = root->safeAreaInsets();
    wkWebView_->setFrame({insets.left, insets.top, root->safeAreaLayoutFrame().width(),
                          root->bounds().height() - insets.top - insets.bottom});
}

bool ViewController::loadGamePage() {
    auto url = shell::gamePageURL();
    if (!url) {
        // As a load that could not connect; on a later turn, since the first
        // load runs before the screen is in its window.
        ns::Weak<ViewController> weak = self_();
        dispatch::mainQueue()->async([weak] {
            if (auto self = weak.lock()) self->showConnectionFailure();
        });
        return false;
    }
    wkWebView_->loadRequest(ns::URLRequest::make(url));
    ns::log("页面加载  url=%@", url->absoluteString());
    return true;
}

void ViewController::reloadGamePage() {
    if (loadGamePage() && activityIndicator_) activityIndicator_->startAnimating();
}

void ViewController::showConnectionFailure() {
    auto alert = ui::AlertController::alertControllerWithTitle("提示", "连接服务器失败", ui::AlertControllerStyle::Alert);
    ns::Weak<ViewController> weak = self_();
    alert->addAction(ui::AlertAction::actionWithTitle("重试", ui::AlertActionStyle::Default, [weak](ui::AlertAction&) {
        if (auto self = weak.lock()) self->reloadGamePage();
    }));
    presentViewController(alert, true);
}

// ---- Page messages ----

void ViewController::userContentControllerDidReceiveScriptMessage(web::UserContentController&,
                                                                  const ns::Ref<web::ScriptMessage>& message) {
    ns::log("eventComplete  function=%@   params=%s", message->name(), shell::bodyLogText(message->body()));
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (!message->name() || !message->name()->isEqualToString(MessageHandlerName)) return;
    handlePageMessage(message->body());
}

void ViewController::handlePageMessage(const ns::Id& body) {
    shell::PageMessage message;
    if (!shell::parsePageMessage(body, message) || !message.action) return;
    const std::string& action = message.action->utf8();
    auto facade = ROZCoreEntity::sharedInstance();

    if (action == "pay") {
        auto order = shell::orderText(message.data.get(), super_user_id_);
        ns::log("kvtr_superOrder=%@", order);
        dispatch::mainQueue()->async([order] { ROZCoreEntity::sharedInstance()->kvtr_superOrder(order); });
    } else if (action == "login") {
        facade->kvtr_lightLoginStart();
    } else if (action == "uploadGameRoleInfo") {
        if (shell::rolePassesCheck(pageFinished_ == 1, message.data.get())) {
            facade->kvtr_superRoleUpdate(shell::roleText(message.data.get(), super_user_id_));
        }
    } else if (action == "logout") {
        facade->kvtr_logout();
    } else if (action == "openStore") {
        facade->kvtr_openGmShop();
    } else if (action == "openResourseStore") {
        facade->kvtr_openResourceStore();
    }
}

void ViewController::callJS(const ns::Ref<ns::Dictionary>& callback) {
    auto json = callback ? shell::callbackJSON(*callback) : nullptr;
    if (!json) {
        ns::log("CallbackFromIOS   cannot encode %@", callback);
        return;
    }
    auto script = ns::String::make(shell::callbackScript(*json));
    ns::log("CallbackFromIOS   value=%@", script);
    ns::Weak<ViewController> weak = self_();
    dispatch::mainQueue()->async([weak, script] {
        auto self = weak.lock();
        if (!self || !self->wkWebView_) return;
        self->wkWebView_->evaluateJavaScript(script->utf8(), [](const ns::Id& result, const ns::Ref<ns::Error>& error) {
            ns::log("CallbackFromIOS   Result=%@  error=%@", result, error);
        });
    });
}

// ---- Navigation ----

void ViewController::didFinishNavigation(web::WebView&, const ns::Ref<web::Navigation>&) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    pageFinished_ = 1;
    ns::log("页面加载完成%s", __func__);
}

void ViewController::didFailProvisionalNavigation(web::WebView&, const ns::Ref<web::Navigation>&,
                                                  const ns::Ref<ns::Error>& error) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    ns::log("页面加载失败 error=%@", error);
    showConnectionFailure();
}

// ---- Page dialogs ----

void ViewController::runJavaScriptAlertPanelWithMessage(web::WebView&, const ns::Ref<ns::String>&,
                                                        AlertCompletion completion) {
    completion();
}

void ViewController::runJavaScriptConfirmPanelWithMessage(web::WebView&, const ns::Ref<ns::String>& message,
                                                          ConfirmCompletion completion) {
    auto alert = ui::AlertController::alertControllerWithTitle(text("提示"), message ? message : text(""),
                                                               ui::AlertControllerStyle::Alert);
    alert->addAction(ui::AlertAction::actionWithTitle("取消", ui::AlertActionStyle::Cancel,
                                                      [completion](ui::AlertAction&) { completion(false); }));
    alert->addAction(ui::AlertAction::actionWithTitle("确认", ui::AlertActionStyle::Default,
                                                      [completion](ui::AlertAction&) { completion(true); }));
    presentViewController(alert, true);
}

void ViewController::runJavaScriptTextInputPanelWithPrompt(web::WebView&, const ns::Ref<ns::String>& prompt,
                                                           const ns::Ref<ns::String>& defaultText,
                                                           PromptCompletion completion) {
    auto alert = ui::AlertController::alertControllerWithTitle(prompt, text(""), ui::AlertControllerStyle::Alert);
    alert->addTextFieldWithConfigurationHandler([defaultText](ui::TextField& field) { field.setText(defaultText); });
    ns::Weak<ui::AlertController> weakAlert = alert;
    alert->addAction(ui::AlertAction::actionWithTitle(
        "完成", ui::AlertActionStyle::Default, [weakAlert, completion](ui::AlertAction&) {
            ns::Ref<ns::String> answer;
            if (auto shown = weakAlert.lock(); shown && !shown->textFields().empty()) {
                answer = shown->textFields().front()->text();
            }
            completion(answer ? answer : text(""));
        }));
    presentViewController(alert, true);
}

// ---- The facade's callbacks ----

void ViewController::kvtr_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>& result) {
    super_user_id_ = textOf(result, "super_user_id");
    serviceToken_ = textOf(result, "token");
    callJS(ns::Dictionary::make({
        {"action", text("loginNotify")},
        {"data", ns::Dictionary::make({{"super_user_id", super_user_id_}, {"token", serviceToken_}})},
    }));
}

void ViewController::getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>&) {
    callJS(ns::Dictionary::make({{"action", text("uploadGameRoleInfo")}, {"data", text("")}}));
}

void ViewController::canEnterListenCallBack(const ns::Ref<ns::String>&) {}

void ViewController::sendPayResult(const char* status, const ns::Ref<ns::Dictionary>& order) {
    auto orderId = textOf(order, "order_id");
    callJS(ns::Dictionary::make({
        {"action", text("payNotify")},
        {"data", ns::Dictionary::make({
                     {"status", text(status)},
                     {"order_id", orderId},
                     {"channel_order", orderId},
                     {"cp_order", textOf(order, "cpOrder")},
                 })},
    }));
}

void ViewController::getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& order) { sendPayResult("1", order); }

void ViewController::getPayFailCallBack(const ns::Ref<ns::Dictionary>& order) { sendPayResult("2", order); }

void ViewController::logOutCallBack(const ns::Ref<ns::String>&) {
    callJS(ns::Dictionary::make({{"action", text("clientlogout")}, {"data", text("")}}));
    pageFinished_ = 0;
    reloadGamePage();
}

void ViewController::rechargeCallBack(const ns::Ref<ns::String>& event) {
    ns::log("活动商城充值回调:%@", event);
    callJS(ns::Dictionary::make({{"action", text("goPay")}}));
}

// After a login: the real-name prompt when the server asks for it, the
// notice when there is a new one, the sub-account choice, then the card
// slides out and its host hears of the chosen sub-account.

#include <cstdlib>

#include "channel/NSObject+TVLoginAPI.h"
#include "channel/NSString+URLEncode.h"
#include "channel/ShareVale.h"
#include "channel/TVReplyFields.h"
#include "channel/login/TVLoginView.h"
#include "channel/screens/TVNoticeVC.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/foundation/Null.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/TextView.h"

namespace {

constexpr const char* kRealNameTitle = "提示";
constexpr const char* kRealNameMessage = "根据国家相关规定，需要用户进行实名认证";
const cg::Color kOrange = cg::Color::fromBytes(255, 128, 0);

ns::Ref<ui::ViewController> scene(const char* identifier) {
    auto board = ui::Storyboard::storyboardWithName("TVUserShow", TVScreenResources::sdkBundle());
    return board->instantiateViewControllerWithIdentifier(identifier);
}

ns::Ref<ui::AttributedText> styled(const char* text, double size, const cg::Color& color) {
    return ui::AttributedText::make(text, {{ui::FontAttributeName, ui::Font::systemFontOfSize(size)},
                                           {ui::ForegroundColorAttributeName, ui::valueWithColor(color)}});
}

// Compared by value: the saved id is kept as text, so a number equals its
// decimal text; null counts as absent, and two absent ids are equal.
bool sameId(const ns::Id& a, const ns::Id& b) {
    auto left = TVReply::messageText(a), right = TVReply::messageText(b);
    if (!left || !right) return !left && !right;
    return left->utf8() == right->utf8();
}

}  // namespace

void TVLoginView::initGameView(const ns::Ref<LoginResult>& reply) {
    if (!reply || TVReply::messageText(reply->rz) == nullptr || TVReply::messageText(reply->rz)->utf8() != "1") {
        goNoticeViewWithResponse(reply);
        return;
    }
    auto alert = ui::AlertController::alertControllerWithTitle(kRealNameTitle, kRealNameMessage,
                                                               ui::AlertControllerStyle::Alert);
    auto card = strong();
    auto confirm = ui::AlertAction::actionWithTitle("确定", ui::AlertActionStyle::Default, [card, reply](ui::AlertAction&) {
        auto form = VRQRealNameView::realNameView();
        form->setTag(kRealNameTag);
        form->setReponse(reply);
        form->setDelegate(std::shared_ptr<VRQRealNameDelegate>(card, card.get()));
        card->addSubview(form);
        card->setNeedsLayout();
    });
    // Styled texts where the system takes them (above 8.3).
    if (std::strtod(ui::Screen::mainScreen()->model().systemVersion.c_str(), nullptr) > 8.3) {
        alert->setAttributedTitle(styled(kRealNameTitle, 18, cg::Color::black()));
        alert->setAttributedMessage(styled(kRealNameMessage, 15, cg::Color::fromWhite(1.0 / 3)));
        confirm->setTitleTextColor(kOrange);
    }
    alert->addAction(confirm);
    if (auto host = viewController()) host->presentViewController(alert, true);
}

void TVLoginView::VRQRealNameViewResponse(VRQRealNameView&, const ns::Ref<LoginResult>& response) {
    goNoticeViewWithResponse(response);
}

void TVLoginView::goNoticeViewWithResponse(const ns::Ref<LoginResult>& reply) {
    loginData_ = reply;
    hud_ = sd_KXProgressHUD::showHUDAddedTo(strong(), true);
    hud_->backgroundView()->setStyle(sd_KXProgressHUDBackgroundStyle::SolidColor);
    hud_->backgroundView()->setColor(cg::Color::black().withAlpha(0.1));
    auto card = strong();
    auto hideHUD = [card] {
        if (card->hud_) card->hud_->hideAnimated(true);
        card->hud_.reset();
    };
    TVLoginAPI::GetNoticeWithSuccess(
        [card, hideHUD](const ns::Ref<GetNotice>& notice) {
            hideHUD();
            auto vale = ShareVale::sharedInstance();
            bool hasContent = notice->content && !ns::cast<ns::Null>(notice->content);
            bool fresh = (notice->status && notice->status->utf8() == "1") ||
                         !sameId(notice->noticeId, vale->noticeId());
            if (!hasContent || !fresh) {
                card->initSubNameVC();
                return;
            }
            vale->setNoticeId(TVReply::messageText(notice->noticeId));
            card->setHidden(true);
            auto page = ns::cast<TVNoticeVC>(scene("TVNoticeVC"));
            ns::Weak<TVLoginView> weak = card;
            page->setNoticeHiddenBlock([weak](TVNoticeVC& shown) {
                shown.view()->removeFromSuperview();
                shown.removeFromParentViewController();
                if (auto c = weak.lock()) c->initSubNameVC();
            });
            if (auto parent = card->superview()) parent->addSubview(page->view());
            if (auto textView = page->textView.lock()) textView->setText(TVReply::messageText(notice->content));
            if (auto host = card->viewController()) host->addChildViewController(page);
        },
        [card, hideHUD](const Text&, const Text&) {
            hideHUD();
            card->initSubNameVC();
        });
}

void TVLoginView::initSubNameVC() {
    auto screen = ns::cast<VRQSubNameVC>(scene("VRQSubNameVC"));
    screen->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    if (auto host = viewController()) host->presentViewController(screen, true);
    screen->setDelegate(std::shared_ptr<VRQSubNameVCDelegate>(strong(), this));
    if (auto form = viewWithTag(kRealNameTag)) form->removeFromSuperview();
}

void TVLoginView::didSelectedVRQSubNameVCTableViewWithResponse(const ns::Ref<VRQSubNameModel>& model) {
    ShareVale::sharedInstance()->setSubUserName(model->username);
    auto card = strong();
    ui::View::animateWithSpring(
        0.6, 0, 0.75, 0, ui::ViewAnimationOptionCurveEaseIn,
        [card] { card->setTransform(cg::AffineTransform::makeTranslation(0, 600)); },
        [card, model](bool) {
            if (auto host = card->delegate())
                host->tvLoginViewLoginSuccessLogintime(model->login_time, model->username, model->sign(),
                                                       card->loginData_);
            card->dismissProgress();
        });
}

void TVLoginView::VRQSubNameVCLoginOut() {
    setHidden(false);
    setUsingStyle(0);
    ShareVale::sharedInstance()->setLoginStyle(0);
}

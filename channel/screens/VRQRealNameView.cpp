#include "channel/screens/VRQRealNameView.h"

#include "channel/NSObject+TVLoginAPI.h"
#include "channel/ShareVale.h"
#include "channel/TVReplyFields.h"
#include "channel/UIView+Extension.h"
#include "channel/VRQMessage.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(VRQRealNameView, ui::View, "VRQRealNameView")

namespace {

const cg::Color kOrange = cg::Color::fromBytes(255, 128, 0);
const cg::Color kLightGrey = cg::Color::fromWhite(2.0 / 3);

ns::Ref<ui::Label> label(const cg::Rect& frame, const char* key, double size, bool bold) {
    auto label = ui::Label::make(frame);
    label->setText(TVScreenResources::text(key));
    label->setFont(bold ? ui::Font::boldSystemFontOfSize(size) : ui::Font::systemFontOfSize(size));
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setNumberOfLines(0);
    return label;
}

ns::Ref<ui::View> field(ns::Weak<ui::TextField>& outlet, const cg::Rect& frame, const char* placeholderKey) {
    auto frameView = ui::View::make(frame);
    auto textField = ui::TextField::make({10, 0, frame.size.width - 20, frame.size.height});
    textField->setPlaceholder(TVScreenResources::text(placeholderKey));
    frameView->addSubview(textField);
    outlet = textField;
    return frameView;
}

ns::Ref<ui::Button> button(const cg::Rect& frame, const char* key, const cg::Color& colour) {
    auto button = ui::Button::make(frame);
    button->setTitle(TVScreenResources::text(key), ui::ControlStateNormal);
    button->setTitleColor(cg::Color::white(), ui::ControlStateNormal);
    button->setBackgroundColor(colour);
    return button;
}

}  // namespace

// The form: a title, the reason, the two fields and the two buttons.
UI_NIB("VRQRealNameView", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto view = std::make_shared<VRQRealNameView>();
    view->setFrame({0, 0, 300, 310});
    view->setBackgroundColor(cg::Color::white());
    view->addSubview(label({0, 15, 300, 25}, "realname.title", 18, true));
    auto hint = label({20, 50, 260, 40}, "realname.hint", 14, false);
    hint->setTextColor(cg::Color::fromWhite(1.0 / 3));
    view->addSubview(hint);
    auto name = field(view->realNameF, {18, 100, 264, 45}, "realname.name");
    auto number = field(view->userNumberF, {18, 160, 264, 45}, "realname.number");
    view->addSubview(name);
    view->addSubview(number);
    view->nameView = name;
    view->numberView = number;

    ns::Weak<VRQRealNameView> weak = view;
    auto skip = button({18, 235, 122, 44}, "realname.skip", kLightGrey);
    skip->addTarget(nullptr, "cancelBtnClick", [weak](ui::Control&, ui::Event*) {
        if (auto v = weak.lock()) v->cancelBtnClick();
    }, ui::ControlEventTouchUpInside);
    auto confirm = button({160, 235, 122, 44}, "realname.confirm", kOrange);
    confirm->addTarget(nullptr, "btnClick", [weak](ui::Control&, ui::Event*) {
        if (auto v = weak.lock()) v->btnClick();
    }, ui::ControlEventTouchUpInside);
    view->addSubview(skip);
    view->addSubview(confirm);
    view->refuseBtn = skip;
    view->btn = confirm;
    view->awakeFromNib();
    return {view};
})

ns::Ref<VRQRealNameView> VRQRealNameView::realNameView() {
    auto view = ns::cast<VRQRealNameView>(ViewExtension::ViewFromXib("VRQRealNameView"));
    if (view) view->setFrame({0, 0, 300, 310});
    return view;
}

void VRQRealNameView::setReponse(const ns::Ref<LoginResult>& response) {
    reponse_ = response;
    setNeedsLayout();
}

void VRQRealNameView::awakeFromNib() {
    for (auto& frame : {nameView.lock(), numberView.lock()}) {
        if (!frame) continue;
        ViewExtension::setLayerCornerRadius(*frame, 5);
        ViewExtension::setLayerBorderWidth(*frame, 1, kLightGrey);
    }
    for (auto& button : {btn.lock(), refuseBtn.lock()})
        if (button) ViewExtension::setLayerCornerRadius(*button, 5);
}

void VRQRealNameView::btnClick() {
    endEditing(true);
    // One check at a time, and none once the delegate has its answer: a
    // second tap would run the hand-off twice.
    if (checking_ || told_) return;
    checking_ = true;
    if (auto confirm = btn.lock()) confirm->setEnabled(false);
    auto name = realNameF.lock();
    auto number = userNumberF.lock();
    ns::Weak<VRQRealNameView> weak = ref<VRQRealNameView>();
    TVLoginAPI::postRealNameToServerWithRealName(
        name ? name->text() : nullptr, number ? number->text() : nullptr,
        [weak, response = reponse_](const ns::Ref<rzResult>& result) {
            if (auto view = weak.lock()) {
                view->checkPassed(result);
                return;
            }
            keepVerdict(result, response);
            ns::log("real name: the check passed after its form went; the verdict is saved");
        },
        [weak](const ns::Ref<ns::String>& message) {
            auto view = weak.lock();
            if (!view) return;
            VRQMessage::showMessage(message, view);
            // The form stays for another try.
            view->checking_ = false;
            if (auto confirm = view->btn.lock(); confirm && !view->told_) confirm->setEnabled(true);
        });
}

void VRQRealNameView::checkPassed(const ns::Ref<rzResult>& result) {
    VRQMessage::showMessage(TVReply::messageText(result->mesage), ref<VRQRealNameView>());
    ns::Weak<VRQRealNameView> weak = ref<VRQRealNameView>();
    dispatch::after(kConfirmDelaySeconds, dispatch::mainQueue(), [weak, result, response = reponse_] {
        // The verdict is the player's whatever became of the form meanwhile.
        keepVerdict(result, response);
        auto view = weak.lock();
        auto delegate = view ? view->delegate() : nullptr;
        if (!view || !delegate) {
            ns::log("real name: the check passed after its form or the screen it answers went; the verdict is saved");
            return;
        }
        if (view->told_) {
            ns::log("real name: the check passed after the player skipped it; the verdict is saved, the hand-off has "
                    "gone on");
            return;
        }
        view->tell(delegate);
    });
}

void VRQRealNameView::keepVerdict(const ns::Ref<rzResult>& result, const ns::Ref<LoginResult>& response) {
    ShareVale::sharedInstance()->setIsRz(TVReply::messageText(result->rzStatus));
    if (!response) return;
    response->isMustRZ = result->isMustRZ;
    response->lmitTime = result->lmitTime;
    response->rzStatus = result->rzStatus;
}

void VRQRealNameView::cancelBtnClick() {
    if (told_) return;
    if (auto delegate = this->delegate()) tell(delegate);
}

void VRQRealNameView::tell(const std::shared_ptr<VRQRealNameDelegate>& delegate) {
    told_ = true;
    if (auto confirm = btn.lock()) confirm->setEnabled(false);
    if (auto skip = refuseBtn.lock()) skip->setEnabled(false);
    delegate->VRQRealNameViewResponse(*this, reponse_);
}

void VRQRealNameView::touchesBegan(const ui::TouchSet&, ui::Event*) {
    endEditing(true);
}

void VRQRealNameView::layoutSubviews() {
    ui::View::layoutSubviews();
    if (!reponse_ || !reponse_->isMustRZ) return;
    if (auto skip = refuseBtn.lock()) skip->setHidden(true);
    if (auto confirm = btn.lock()) {
        ViewExtension::setX(*confirm, 18);
        ViewExtension::setWidth(*confirm, 264);
    }
}

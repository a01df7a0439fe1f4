#include "channel/login/TVLoginView.h"

#include "channel/NSObject+TVLoginAPI.h"
#include "channel/NSString+URLEncode.h"
#include "channel/ShareVale.h"
#include "channel/TVReplyFields.h"
#include "channel/VRQMessage.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"

namespace {

// Lengths count UTF-16 units, as the form's rules always have.
size_t lengthOf(const ns::Weak<ui::TextField>& weak) {
    auto field = weak.lock();
    auto text = field ? field->text() : nullptr;
    return text ? text->length() : 0;
}

ns::Ref<ns::String> textOf(const ns::Weak<ui::TextField>& weak) {
    auto field = weak.lock();
    auto text = field ? field->text() : nullptr;
    return text ? text : ns::str("");
}

void setConstant(const ns::Weak<ui::LayoutConstraint>& weak, double value) {
    if (auto constraint = weak.lock()) constraint->setConstant(value);
}

void setText(const ns::Weak<ui::TextField>& weak, const ns::Ref<ns::String>& text) {
    if (auto field = weak.lock()) field->setText(text);
}

}  // namespace

void TVLoginView::toast(const Text& message) { VRQMessage::showMessage(message, strong()); }
void TVLoginView::toast(const char* message) { toast(ns::str(message)); }

void TVLoginView::attach(const ns::Weak<ui::Button>& weak, const char* selector, void (TVLoginView::*action)()) {
    auto button = weak.lock();
    if (!button) return;
    // The same target and selector again only adds the event: attached once.
    ns::Weak<TVLoginView> card = strong();
    button->addTarget(strong(), selector, [card, action](ui::Control&, ui::Event*) {
        if (auto c = card.lock()) (c.get()->*action)();
    }, ui::ControlEventTouchUpInside);
}

void TVLoginView::dismissProgress() {
    if (auto progress = dp.lock()) progress->dismiss();
}

void TVLoginView::startProgress(const char* title) {
    dismissProgress();
    auto container = progressView.lock();
    if (!container) return;
    for (const auto& old : std::vector<ns::Ref<ui::View>>(container->subviews())) old->removeFromSuperview();
    auto progress = TVProgressDP::make({0, 0, kProgressWidth, kProgressHeight});
    container->addSubview(progress);
    progress->showWithTitle(title);
    dp = progress;
}

void TVLoginView::setUsingStyle(int mode) {
    if (auto button = sendCodeBtn.lock()) button->stop();
    usingStyle_ = mode;
    if (mode < 0 || mode > 4) return;
    auto heights = [this](double login, double reg, double welcome, double progress, double change) {
        setConstant(loginViewH, login);
        setConstant(registerH, reg);
        setConstant(welcomeTitleH, welcome);
        setConstant(progressH, progress);
        setConstant(changeBtnH, change);
    };
    auto registration = [this](bool phone) {
        if (auto label = state.lock()) label->setText(phone ? "手机注册" : "账号注册");
        if (auto name = registerName.lock()) {
            name->setPlaceholder(phone ? "请输入手机号码" : "6-12位字母或数字");
            name->setKeyboardType(phone ? ui::KeyboardType::NumberPad : ui::KeyboardType::Default);
            name->setText("");
        }
        if (phone) {
            if (auto code = signCode.lock()) {
                code->setKeyboardType(ui::KeyboardType::NumberPad);
                code->setText("");
            }
        }
        setText(registerpwd, ns::str(""));
        if (auto icon = registerNameIconView.lock())
            icon->setImage(TVScreenResources::image(phone ? "tov_new_phone.png" : "tov_new_user.png"));
        setConstant(signCodeH, phone ? 45 : 0);
        setConstant(distace, phone ? 20 : 50);
        setConstant(accountViewH, phone ? 0 : 30);
        setConstant(iphoneViewH, phone ? 30 : 0);
        attach(selectBtn, "btnSelectedOrUnselected:", &TVLoginView::btnSelectedOrUnselected);
        dismissProgress();
    };
    switch (mode) {
        case 0:
            heights(kFormHeight, 0, 0, 0, 0);
            attach(accuntChange, "btnUpOrDown:", &TVLoginView::btnUpOrDown);
            attach(showOrHiddenBtn, "btnShowOrHidden:", &TVLoginView::btnShowOrHidden);
            dismissProgress();
            break;
        case 1:
        case 2:
            heights(0, kFormHeight, 0, 0, 0);
            registration(mode == 2);
            break;
        case 3:
            heights(0, 0, 30, kProgressHeight, 40);
            startProgress("正在登陆");
            if (auto line = tishiTitle.lock())
                line->setText(ns::str(ns::format("%@, 欢迎回来", currentUserName)));
            break;
        case 4:
            heights(0, 0, 30, kProgressHeight, 0);
            startProgress("正在注册");
            if (auto line = tishiTitle.lock()) line->setText(nullptr);
            break;
    }
    setNeedsLayout();
}

bool TVLoginView::check() {
    auto fail = [this](const char* message) {
        toast(message);
        return false;
    };
    auto ticked = [this] {
        auto tick = selectBtn.lock();
        return tick && tick->isSelected();
    };
    switch (usingStyle_) {
        case 0:
            if (lengthOf(loginPwd) == 0) return fail("密码不能为空");
            if (lengthOf(loginName) == 0) return fail("用户名不能为空");
            return true;
        case 1:
            if (lengthOf(registerpwd) < 6) return fail("密码不少于6位");
            if (lengthOf(registerName) < 6) return fail("用户名不少于6位");
            if (!ticked()) return fail("请确认协议");
            return true;
        case 2:
            if (lengthOf(registerpwd) < 6) return fail("密码不少于6位");
            if (lengthOf(signCode) == 0) return fail("验证码不能为空");
            if (lengthOf(registerName) != 11) return fail("手机号码位数不对");
            if (!ticked()) return fail("请确认协议");
            return true;
        default:
            return true;
    }
}

void TVLoginView::abandonLogin() {
    if (attempt_) attempt_->abandon();
    attempt_.reset();
}

void TVLoginView::postLogin() {
    abandonLogin();
    setUsingStyle(3);
    auto card = strong();
    auto attempt = std::make_shared<TVLoginAttempt>();
    attempt_ = attempt;
    // A reply the card no longer waits for: another account may be logging
    // in on it now.
    auto stillWaited = [attempt, name = currentUserName] {
        if (attempt->claim()) return true;
        ns::log("login: the reply for %@ came after the card stopped waiting for it; dropped", name);
        return false;
    };
    TVLoginAPI::LonginWithUsername(
        currentUserName, currenPwd,
        [card, attempt, stillWaited](const ns::Ref<LoginResult>& r) {
            if (!stillWaited()) return;
            auto vale = ShareVale::sharedInstance();
            vale->setSid(TVReply::messageText(r->sid));
            vale->setIsRz(TVReply::messageText(r->isck));
            vale->setLogin(TVReply::messageText(r->userName), TVReply::messageText(r->urserPwd), 1);
            card->loginData_ = r;
            // The welcome shows a moment; the change button cancels what follows.
            dispatch::performAfterDelay(card.get(), "initGameView:", kWelcomeSeconds, [card, attempt, r] {
                if (card->attempt_ == attempt) card->initGameView(r);
            });
        },
        [card, stillWaited](const Text& message, const Text& code) {
            if (!stillWaited()) return;
            card->attempt_.reset();
            card->toast(message);
            card->setUsingStyle(0);
            card->loginFailedMessage(message, code);
        });
}

void TVLoginView::gotoLoginAndQuickRegister() {
    endEditing(true);
    switch (usingStyle_) {
        case 0:
            if (!check()) return;
            currentUserName = textOf(loginName);
            currenPwd = textOf(loginPwd);
            postLogin();
            break;
        case 1:
        case 2: registerAccount(); break;
        default: break;
    }
}

void TVLoginView::registerAccount() {
    if (!check()) return;
    int formMode = usingStyle_;
    setUsingStyle(4);
    currentUserName = textOf(registerName);
    currenPwd = textOf(registerpwd);
    auto card = strong();
    auto success = [card](const ns::Ref<RegisterResult>& r) {
        card->toast("注册成功");
        card->currentUserName = TVReply::messageText(r->userName);
        card->currenPwd = TVReply::messageText(r->userPwd);
        dispatch::after(kLoginAfterRegisterSeconds, dispatch::mainQueue(), [card] { card->postLogin(); });
    };
    auto failure = [card, formMode](const Text& message) {
        card->toast(message);
        card->setUsingStyle(formMode);
        card->loginFailedMessage(message, ns::str("-8"));
    };
    if (formMode == 1) {
        TVLoginAPI::registerNewWithUsername(currentUserName, currenPwd, success, failure);
    } else {
        TVLoginAPI::registerNewWithPhoneNumber(currentUserName, textOf(signCode), currenPwd, success, failure);
    }
}

void TVLoginView::sendCode() {
    endEditing(true);
    if (lengthOf(registerName) != 11) {
        toast("请填写正确的手机号");
        return;
    }
    auto card = strong();
    TVLoginAPI::getAuthCodeWithPhoneNumber(
        textOf(registerName),
        [card](const ns::Ref<RegisterResult>& r) {
            card->toast(TVReply::messageText(r->mesage));
            auto button = card->sendCodeBtn.lock();
            if (!button) return;
            button->setEnabled(false);
            button->setTitle(ns::str(ns::format("剩余%d秒", kSMSSeconds)), ui::ControlStateNormal);
            button->didChange([](JKCountDownButton&, int second) { return ns::str(ns::format("剩余%d秒", second)); });
            button->didFinished([](JKCountDownButton& b, int) {
                b.setEnabled(true);
                return ns::str("重新获取");
            });
            button->startWithSecond(kSMSSeconds);
        },
        [card](const Text& message) {
            card->toast(message);
            if (auto button = card->sendCodeBtn.lock()) {
                button->setEnabled(true);
                button->setTitle("获取验证码", ui::ControlStateNormal);
            }
        });
}

void TVLoginView::changeBtn() {
    abandonLogin();
    setUsingStyle(0);
    if (hud_) {
        hud_->hideAnimated(true);
        hud_.reset();
    }
    dispatch::cancelPreviousPerformRequests(this);
}

void TVLoginView::regist() {
    setUsingStyle(2);
    endEditing(true);
}

void TVLoginView::backLogin() {
    setUsingStyle(0);
    endEditing(true);
}

void TVLoginView::accountRegister() {
    setUsingStyle(1);
    endEditing(true);
}

void TVLoginView::phoneRegister() {
    setUsingStyle(2);
    endEditing(true);
}

void TVLoginView::btnUpOrDown() {
    auto button = accuntChange.lock();
    if (!button) return;
    if (button->isSelected()) {
        if (auto list = tableView.lock()) list->removeFromSuperview();
    } else {
        setUpAccountsSelectedUI();
    }
    button->setSelected(!button->isSelected());
}

void TVLoginView::btnShowOrHidden() {
    auto button = showOrHiddenBtn.lock();
    if (!button) return;
    if (auto field = loginPwd.lock()) field->setSecureTextEntry(button->isSelected());
    button->setSelected(!button->isSelected());
}

void TVLoginView::btnSelectedOrUnselected() {
    if (auto tick = selectBtn.lock()) tick->setSelected(!tick->isSelected());
}

void TVLoginView::setUpAccountsSelectedUI() {
    auto list = AccountTableView::make();
    list->setBackgroundColor(cg::Color::fromBytes(240, 240, 240));
    list->setFrame({18, 116, 264, 126});
    list->setDelegate(std::shared_ptr<ui::TableViewDelegate>(strong(), this));
    addSubview(list);
    tableView = list;
}

void TVLoginView::didSelectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    view.deselectRowAtIndexPath(path, true);
    auto cell = view.cellForRowAtIndexPath(path);
    if (cell) cell->textLabel()->setTextColor(cg::Color{1, 0, 0, 1});
    if (auto field = loginName.lock(); field && cell) field->setText(cell->textLabel()->text());
    if (auto list = tableView.lock()) {
        auto pair = ns::cast<ns::Array>(list->dataArray()->objectAtIndex(static_cast<uint64_t>(path.row)));
        if (pair && pair->count() > 0) setText(loginPwd, TVReply::messageText(pair->lastObject()));
        list->removeFromSuperview();
    }
    if (auto button = accuntChange.lock()) button->setSelected(false);
}

void TVLoginView::touchesBegan(const ui::TouchSet&, ui::Event*) { endEditing(true); }

bool TVLoginView::textFieldShouldReturn(ui::TextField& field) {
    field.resignFirstResponder();
    auto focus = [](const ns::Weak<ui::TextField>& next) {
        if (auto f = next.lock()) f->becomeFirstResponder();
    };
    if (&field == loginName.lock().get()) {
        focus(loginPwd);
    } else if (&field == registerName.lock().get()) {
        focus(usingStyle_ == 2 ? signCode : registerpwd);
    } else if (&field == signCode.lock().get()) {
        focus(registerpwd);
    }
    return true;
}

ns::Ref<ui::ViewController> TVLoginView::viewController() const {
    for (auto view = superview(); view; view = view->superview()) {
        if (auto controller = ns::cast<ui::ViewController>(view->nextResponder())) return controller;
    }
    return nullptr;
}

void TVLoginView::loginFailedMessage(const Text& message, const Text& code) {
    if (auto host = delegate()) host->tvLoginViewLoginFaildeMessage(message, code);
}

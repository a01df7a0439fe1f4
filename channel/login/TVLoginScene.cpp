// The login card as the scene "TVAlterLoginVC" of "TVUserShow" lays it out:
// a 300 pt card of five stacked sections (login form, registration form,
// welcome line, progress, change button) whose heights are the switched
// constraints; the card stacks them by those constants (TVLoginView::
// layoutSubviews) and is as tall as they are. Its two links, the agreement
// beside the tick and the forgotten password under the login form, push
// their pages on the login window's navigation.

#include <algorithm>
#include <string>

#include "channel/login/TVAlterLoginVC.h"
#include "channel/login/TVLoginView.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Storyboard.h"

RT_DEFINE_CLASS(TVLoginView, ui::View, "TVLoginView")

namespace {

const cg::Color kOrange = cg::Color::fromBytes(255, 128, 0);
constexpr double kInset = 20;
constexpr double kRowWidth = TVLoginView::kCardWidth - 2 * kInset;

ns::Ref<ns::String> text(const char* key) { return TVScreenResources::text(key); }

// An active height constraint of `view`, kept by the view.
ns::Ref<ui::LayoutConstraint> heightOf(const ns::Ref<ui::View>& view, double constant) {
    auto height = view->heightAnchor()->constraintEqualToConstant(constant);
    height->setActive(true);
    return height;
}

ns::Ref<ui::Label> label(const cg::Rect& frame, const char* key, double size) {
    auto label = ui::Label::make(frame);
    label->setText(text(key));
    label->setFont(ui::Font::systemFontOfSize(size));
    label->setTextAlignment(ui::TextAlignment::Center);
    return label;
}

ns::Ref<ui::TextField> field(const cg::Rect& frame, const char* placeholder, TVLoginView& card) {
    auto field = ui::TextField::make(frame);
    field->setPlaceholder(text(placeholder));
    field->setFont(ui::Font::systemFontOfSize(15));
    field->setDelegate(std::shared_ptr<ui::TextFieldDelegate>(card.ref<TVLoginView>(), &card));
    return field;
}

// A framed row (light-grey border) holding its field.
ns::Ref<ui::View> row(const cg::Rect& frame) {
    auto row = ui::View::make(frame);
    row->layer()->setBorderWidth(1);
    row->layer()->setBorderColor(cg::Color::fromWhite(0.85));
    row->layer()->setCornerRadius(4);
    return row;
}

ns::Ref<ui::Button> button(const cg::Rect& frame, const char* key, bool filled) {
    auto button = ui::Button::make(frame);
    button->setTitle(text(key), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(filled ? 17 : 14));
    if (filled) {
        button->setBackgroundColor(kOrange);
        button->setTitleColor(cg::Color::white(), ui::ControlStateNormal);
        button->layer()->setCornerRadius(4);
    } else {
        button->setTitleColor(kOrange, ui::ControlStateNormal);
    }
    return button;
}

// A button whose tap runs `action` on the card while it lives.
void wire(TVLoginView& card, const ns::Ref<ui::Button>& button, const char* selector, void (TVLoginView::*action)()) {
    ns::Weak<TVLoginView> weak = card.ref<TVLoginView>();
    button->addTarget(card.ref<TVLoginView>(), selector, [weak, action](ui::Control&, ui::Event*) {
        if (auto c = weak.lock()) (c.get()->*action)();
    }, ui::ControlEventTouchUpInside);
}

// A link that pushes a scene of "TVUserShow" on the login window's
// navigation, as the storyboard's push segues do; the card under it keeps
// its form.
void segue(TVLoginView& card, const ns::Ref<ui::Button>& link, const char* selector, std::string identifier) {
    ns::Weak<TVLoginView> weak = card.ref<TVLoginView>();
    link->addTarget(card.ref<TVLoginView>(), selector, [weak, identifier](ui::Control&, ui::Event*) {
        auto c = weak.lock();
        auto host = c ? c->viewController() : nullptr;
        auto navigation = host ? host->navigationController() : nullptr;
        if (!navigation) return;
        c->endEditing(true);
        auto board = ui::Storyboard::storyboardWithName("TVUserShow", TVScreenResources::sdkBundle());
        navigation->pushViewController(board->instantiateViewControllerWithIdentifier(identifier), true);
    }, ui::ControlEventTouchUpInside);
}

}  // namespace

struct TVLoginScene {
    static void loginSection(TVLoginView& card) {
        auto section = ui::View::make({0, 0, TVLoginView::kCardWidth, TVLoginView::kFormHeight});
        section->addSubview(label({0, 5, TVLoginView::kCardWidth, 30}, "login.title", 18));

        auto nameRow = row({kInset, 45, kRowWidth, 40});
        auto name = field({10, 0, kRowWidth - 50, 40}, "login.name", card);
        nameRow->addSubview(name);
        auto accounts = button({kRowWidth - 35, 5, 30, 30}, "login.accounts", false);
        nameRow->addSubview(accounts);
        section->addSubview(nameRow);

        auto pwdRow = row({kInset, 95, kRowWidth, 40});
        auto pwd = field({10, 0, kRowWidth - 60, 40}, "login.password", card);
        pwd->setSecureTextEntry(true);
        pwdRow->addSubview(pwd);
        auto show = button({kRowWidth - 45, 5, 40, 30}, "login.show", false);
        pwdRow->addSubview(show);
        section->addSubview(pwdRow);

        auto login = button({kInset, 150, kRowWidth, 44}, "login.login", true);
        wire(card, login, "gotoLoginAndQuickRegister:", &TVLoginView::gotoLoginAndQuickRegister);
        section->addSubview(login);
        auto byAccount = button({kInset, 210, kRowWidth / 2 - 5, 30}, "login.accountRegister", false);
        wire(card, byAccount, "accountRegister:", &TVLoginView::accountRegister);
        section->addSubview(byAccount);
        auto byPhone = button({kInset + kRowWidth / 2 + 5, 210, kRowWidth / 2 - 5, 30}, "login.phoneRegister", false);
        wire(card, byPhone, "phoneRegister:", &TVLoginView::phoneRegister);
        section->addSubview(byPhone);
        auto forget = button({kInset + kRowWidth - 90, 250, 90, 25}, "login.forget", false);
        segue(card, forget, "showForgetPassword:", "TVForgetPasswordVC");
        section->addSubview(forget);

        card.addSubview(section);
        card.loginSection = section;
        card.LoginNameView = nameRow;
        card.LoginPwdView = pwdRow;
        card.loginName = name;
        card.loginPwd = pwd;
        card.accuntChange = accounts;
        card.showOrHiddenBtn = show;
        card.mainLoginBtn = login;
        card.forgetPwdBtn = forget;
        card.loginViewH = heightOf(section, TVLoginView::kFormHeight);
    }

    static void registerSection(TVLoginView& card) {
        auto section = ui::View::make({0, 0, TVLoginView::kCardWidth, 0});
        auto state = label({0, 5, TVLoginView::kCardWidth, 30}, "login.accountRegister", 18);
        section->addSubview(state);

        auto nameRow = row({kInset, 40, kRowWidth, 40});
        auto icon = ui::ImageView::make({10, 10, 20, 20});
        nameRow->addSubview(icon);
        auto name = field({40, 0, kRowWidth - 50, 40}, "login.name", card);
        nameRow->addSubview(name);
        section->addSubview(nameRow);

        auto codeRow = row({kInset, 90, kRowWidth, 45});
        codeRow->setClipsToBounds(true);
        auto code = field({10, 0, kRowWidth - 120, 45}, "login.code", card);
        codeRow->addSubview(code);
        auto send = JKCountDownButton::make({kRowWidth - 105, 7, 100, 30});
        send->setTitle(text("login.sendCode"), ui::ControlStateNormal);
        send->setTitleColor(kOrange, ui::ControlStateNormal);
        send->titleLabel()->setFont(ui::Font::systemFontOfSize(13));
        wire(card, send, "sendCode:", &TVLoginView::sendCode);
        codeRow->addSubview(send);
        section->addSubview(codeRow);

        auto spacer = ui::View::make({kInset, 0, kRowWidth, 0});
        section->addSubview(spacer);

        auto pwdRow = row({kInset, 140, kRowWidth, 40});
        auto pwd = field({10, 0, kRowWidth - 20, 40}, "login.newPassword", card);
        pwd->setSecureTextEntry(true);
        pwdRow->addSubview(pwd);
        section->addSubview(pwdRow);

        auto accountTip = label({kInset, 0, kRowWidth, 0}, "login.accountHint", 12);
        accountTip->setClipsToBounds(true);
        section->addSubview(accountTip);
        auto phoneTip = label({kInset, 0, kRowWidth, 0}, "login.phoneHint", 12);
        phoneTip->setClipsToBounds(true);
        section->addSubview(phoneTip);

        auto agreement = ui::View::make({kInset, 0, kRowWidth, 25});
        auto tick = button({0, 0, 120, 25}, "login.agree", false);
        tick->setTitleColor(cg::Color::fromWhite(0.4), ui::ControlStateNormal);
        agreement->addSubview(tick);
        auto protocol = button({120, 0, 100, 25}, "login.protocol", false);
        segue(card, protocol, "showProtocol:", "TVShowHTMLVC");
        agreement->addSubview(protocol);
        section->addSubview(agreement);

        auto submit = button({kInset, 0, kRowWidth, 36}, "login.register", true);
        wire(card, submit, "gotoLoginAndQuickRegister:", &TVLoginView::gotoLoginAndQuickRegister);
        section->addSubview(submit);
        auto back = button({kInset, 0, kRowWidth, 22}, "login.backLogin", false);
        wire(card, back, "backLogin:", &TVLoginView::backLogin);
        section->addSubview(back);

        card.addSubview(section);
        card.registerSection = section;
        card.state = state;
        card.registerNameView = nameRow;
        card.registerNameIconView = icon;
        card.registerName = name;
        card.iphoneCodeView = codeRow;
        card.signCode = code;
        card.sendCodeBtn = send;
        card.registerPwdView = pwdRow;
        card.registerpwd = pwd;
        card.accountSection = agreement;
        card.selectBtn = tick;
        card.protocalbtn = protocol;
        card.mainRegisterBtn = submit;
        card.registerH = heightOf(section, 0);
        card.signCodeH = heightOf(codeRow, 0);
        card.distaceView = spacer;
        card.distace = heightOf(spacer, 50);
        card.accountTipView = accountTip;
        card.phoneTipView = phoneTip;
        card.backLoginBtn = back;
        card.accountViewH = heightOf(accountTip, 0);
        card.iphoneViewH = heightOf(phoneTip, 0);
    }

    static void waitingSections(TVLoginView& card) {
        auto welcome = ui::View::make({0, 0, TVLoginView::kCardWidth, 0});
        auto line = label({0, 0, TVLoginView::kCardWidth, 30}, "", 16);
        line->setText(nullptr);
        welcome->addSubview(line);
        card.addSubview(welcome);

        auto progress = ui::View::make({0, 0, TVLoginView::kProgressWidth, 0});
        card.addSubview(progress);

        auto change = ui::View::make({0, 0, TVLoginView::kCardWidth, 0});
        auto button = ::button({kInset, 0, kRowWidth, 36}, "login.change", true);
        wire(card, button, "changeBtn:", &TVLoginView::changeBtn);
        change->addSubview(button);
        card.addSubview(change);

        card.welcomeSection = welcome;
        card.tishiTitle = line;
        card.progressView = progress;
        card.changeSection = change;
        card.changeButton = button;
        card.welcomeTitleH = heightOf(welcome, 0);
        card.progressH = heightOf(progress, 0);
        card.changeBtnH = heightOf(change, 0);
    }
};

ns::Ref<TVLoginView> TVLoginView::make() {
    auto card = std::make_shared<TVLoginView>();
    card->setFrame({0, 0, kCardWidth, kFormHeight});
    card->setBackgroundColor(cg::Color::white());
    TVLoginScene::loginSection(*card);
    TVLoginScene::registerSection(*card);
    TVLoginScene::waitingSections(*card);
    card->setUsingStyle(0);
    return card;
}

namespace {

void place(const ns::Weak<ui::View>& weak, const ns::Weak<ui::LayoutConstraint>& height, double x, double& y,
           double width, double gapAfter = 0) {
    auto view = weak.lock();
    auto constraint = height.lock();
    if (!view) return;
    double h = constraint ? constraint->constant() : view->frame().size.height;
    view->setFrame({x, y, width, h});
    // A section squeezed to nothing shows nothing and takes no touch.
    view->setHidden(h <= 0);
    y += h + gapAfter;
}

void placeFixed(const ns::Ref<ui::View>& view, double& y, double gapAfter) {
    if (!view) return;
    cg::Rect f = view->frame();
    view->setFrame({f.origin.x, y, f.size.width, f.size.height});
    y += f.size.height + gapAfter;
}

}  // namespace

void TVLoginView::layoutSubviews() {
    ui::View::layoutSubviews();
    double y = 0;
    place(loginSection, loginViewH, 0, y, kCardWidth);
    place(registerSection, registerH, 0, y, kCardWidth);
    place(welcomeSection, welcomeTitleH, 0, y, kCardWidth);
    place(progressView, progressH, (kCardWidth - kProgressWidth) / 2, y, kProgressWidth);
    place(changeSection, changeBtnH, 0, y, kCardWidth);
    // The real-name form lies over the waiting card: the card grows to hold it.
    for (const auto& sub : subviews())
        if (sub->tag() == kRealNameTag) y = std::max(y, sub->frame().origin.y + sub->frame().size.height);
    if (bounds().size.height != y) setBounds({0, 0, kCardWidth, y});

    // The registration form below its name row: the code row, the gap and
    // the two hints switch by mode (the gap at half its constant, so the
    // whole form fits its 310 pt).
    double ry = 90;
    place(iphoneCodeView, signCodeH, kInset, ry, kRowWidth, 3);
    if (auto spacer = distaceView.lock(); spacer && distace.lock()) {
        spacer->setFrame({kInset, ry, kRowWidth, distace.lock()->constant() / 2});
        spacer->setHidden(true);
        ry += distace.lock()->constant() / 2;
    }
    placeFixed(registerPwdView.lock(), ry, 3);
    place(accountTipView, accountViewH, kInset, ry, kRowWidth);
    place(phoneTipView, iphoneViewH, kInset, ry, kRowWidth);
    placeFixed(accountSection.lock(), ry, 3);
    placeFixed(mainRegisterBtn.lock(), ry, 3);
    placeFixed(backLoginBtn.lock(), ry, 0);
}

UI_STORYBOARD_SCENE("TVUserShow", "TVAlterLoginVC", TVAlterLoginVC, [](TVAlterLoginVC& owner) -> ns::Ref<ui::View> {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    auto root = ui::View::make(screen);
    root->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    auto card = TVLoginView::make();
    card->setCenter({screen.size.width / 2, screen.size.height / 2});
    card->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                              ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
    root->addSubview(card);
    owner.loginView = card;
    return root;
})

#include "channel/screens/TVNoticeVC.h"

#include "channel/UIView+Extension.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVNoticeVC, ui::ViewController, "TVNoticeVC")

// A 300 x 280 card centred on the screen: title, text, close button.
UI_STORYBOARD_SCENE("TVUserShow", "TVNoticeVC", TVNoticeVC, [](TVNoticeVC& owner) -> ns::Ref<ui::View> {
    auto root = ui::View::make(ui::Screen::mainScreen()->bounds());
    root->setBackgroundColor(cg::Color::clear());
    root->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);

    auto card = ui::View::make({0, 0, 300, 280});
    card->setCenter({root->bounds().size.width / 2, root->bounds().size.height / 2});
    card->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                              ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
    card->setBackgroundColor(cg::Color::white());
    ViewExtension::setLayerCornerRadius(*card, 8);
    root->addSubview(card);

    auto title = ui::Label::make({0, 10, 300, 30});
    title->setText(TVScreenResources::text("notice.title"));
    title->setFont(ui::Font::boldSystemFontOfSize(18));
    title->setTextAlignment(ui::TextAlignment::Center);
    card->addSubview(title);

    auto text = ui::TextView::make({15, 50, 270, 170});
    text->setFont(ui::Font::systemFontOfSize(14));
    card->addSubview(text);
    owner.textView = text;

    auto close = ui::Button::make({15, 228, 270, 40});
    close->setTitle(TVScreenResources::text("notice.close"), ui::ControlStateNormal);
    close->setTitleColor(cg::Color::white(), ui::ControlStateNormal);
    close->setBackgroundColor(cg::Color::fromBytes(255, 128, 0));
    ViewExtension::setLayerCornerRadius(*close, 5);
    ns::Weak<TVNoticeVC> weak = owner.ref<TVNoticeVC>();
    close->addTarget(nullptr, "doCloseBtnClick", [weak](ui::Control&, ui::Event*) {
        if (auto notice = weak.lock()) notice->doCloseBtnClick();
    }, ui::ControlEventTouchUpInside);
    card->addSubview(close);
    owner.closeBtn = close;
    return root;
})

void TVNoticeVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    if (auto text = textView.lock()) text->setEditable(false);
}

void TVNoticeVC::doCloseBtnClick() {
    if (noticeHiddenBlock_) noticeHiddenBlock_(*this);
}

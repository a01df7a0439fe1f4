#include "channel/usercenter/pages/TVSuPageScenes.h"

#include "channel/screens/TVScreenResources.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Screen.h"

namespace TVSuPageScenes {

ns::Ref<ui::View> pageRoot() {
    double height = ui::Screen::mainScreen()->bounds().size.height;
    auto root = ui::View::make({0, 0, kWidth, height});
    root->setBackgroundColor(cg::Color::white());
    root->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    return root;
}

ns::Ref<ui::Label> label(ui::View& parent, const cg::Rect& frame, double size, const cg::Color& colour) {
    auto l = ui::Label::make(frame);
    l->setFont(ui::Font::systemFontOfSize(size));
    l->setTextColor(colour);
    parent.addSubview(l);
    return l;
}

ns::Ref<ui::ScrollView> pagingScrollView(double top) {
    double height = ui::Screen::mainScreen()->bounds().size.height;
    auto scroll = ui::ScrollView::make({0, top, kWidth, height - top});
    scroll->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    return scroll;
}

ns::Ref<ui::Button> actionButton(const cg::Rect& frame, const char* title, const char* selector,
                                 std::function<void()> action) {
    auto button = ui::Button::make(frame);
    if (title) button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(kOrange, ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    if (action)
        button->addTarget(nullptr, selector, [action](ui::Control&, ui::Event*) { action(); },
                          ui::ControlEventTouchUpInside);
    return button;
}

ns::Ref<ui::Label> titleBar(ui::View& root, const char* title, std::function<void()> back) {
    auto bar = ui::View::make({0, 0, kWidth, kBarHeight});
    bar->setBackgroundColor(cg::Color::fromWhite(0.97));
    auto backButton = actionButton({0, 0, 60, kBarHeight}, "返回", "goBack", std::move(back));
    backButton->setImage(TVScreenResources::image("TV_nav_back"), ui::ControlStateNormal);
    bar->addSubview(backButton);
    auto label = ui::Label::make({60, 0, kWidth - 120, kBarHeight});
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setFont(ui::Font::boldSystemFontOfSize(16));
    if (title) label->setText(title);
    bar->addSubview(label);
    root.addSubview(bar);
    return label;
}

}  // namespace TVSuPageScenes

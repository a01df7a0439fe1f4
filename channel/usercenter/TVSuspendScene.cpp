// The scene "TVSuspendVC" of the storyboard "TVSuspendVC": the panel on the
// left (width `width`), the page area (tag 1000, where child pages slide)
// `top` below the panel's top and `left` in from its edge, down to the tab
// bar (height `bottomH`) at the panel's foot with the five tabs and the two
// red dots, hidden until the counters say otherwise. The page area's foot
// is pinned to the panel's (`areaBottom`, following `bottomH`) rather than
// to the bar, so no constraint hangs on another's result. The rest of the
// screen, dimmed, takes the player back to the game.

#include "channel/NSString+URLEncode.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"

namespace {

const cg::Color kOrange{1, 127.0 / 255, 0, 1};
constexpr double kTabWidth = TVSuspendVC::kPanelWidth / TVSuspendVC::kTabCount;
constexpr double kTabHeight = 49;
constexpr const char* kTitles[] = {"首页", "开服", "福利", "交易", "客服"};
constexpr const char* kIcons[] = {"TV_suTab_home.png", "TV_suTab_kaifu.png", "TV_suTab_welfare.png",
                                  "TV_suTab_trade.png", "TV_suTab_service.png"};

ns::Ref<ui::Image> image(const char* name) {
    return ui::Image::imageNamed(URLEncode::getImagePath(name));
}

ns::Ref<ui::ImageView> redDot(ui::View& tab) {
    auto dot = ui::ImageView::make({kTabWidth / 2 + 8, 4, 8, 8});
    dot->setImage(image("TV_suRed.png"));
    dot->setBackgroundColor(cg::Color{1, 0.2, 0.2, 1});
    dot->setHidden(true);
    tab.addSubview(dot);
    return dot;
}

ns::Ref<ui::View> tabBar(TVSuspendVC& owner) {
    auto bar = ui::View::make({0, 0, TVSuspendVC::kPanelWidth, kTabHeight});
    bar->setBackgroundColor(cg::Color::fromWhite(0.97));
    ns::Weak<TVSuspendVC> weak = owner.ref<TVSuspendVC>();
    for (int64_t i = 0; i < TVSuspendVC::kTabCount; ++i) {
        auto tab = ui::Button::make({kTabWidth * static_cast<double>(i), 0, kTabWidth, kTabHeight});
        tab->setTag(TVSuspendVC::kFirstTab + i);
        tab->setTitle(kTitles[i], ui::ControlStateNormal);
        tab->setTitleColor(cg::Color::fromWhite(0.4), ui::ControlStateNormal);
        tab->setTitleColor(kOrange, ui::ControlStateDisabled);
        tab->titleLabel()->setFont(ui::Font::systemFontOfSize(11));
        tab->setImage(image(kIcons[i]), ui::ControlStateNormal);
        tab->addTarget(nullptr, "btnClick:", [weak](ui::Control& sender, ui::Event*) {
            auto centre = weak.lock();
            if (auto button = dynamic_cast<ui::Button*>(&sender); centre && button) centre->btnClick(*button);
        }, ui::ControlEventTouchUpInside);
        bar->addSubview(tab);
        if (i == 0) owner.homeBtn = tab;
        if (i == 0) owner.homeRed = redDot(*tab);
        if (i == 2) owner.welfareRed = redDot(*tab);
    }
    return bar;
}

}  // namespace

UI_STORYBOARD_SCENE("TVSuspendVC", "TVSuspendVC", TVSuspendVC, [](TVSuspendVC& owner) -> ns::Ref<ui::View> {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    auto root = ui::View::make(screen);
    root->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);

    auto back = ui::Button::make(screen);
    back->setBackgroundColor(cg::Color{0, 0, 0, 0.3});
    back->setAccessibilityIdentifier("TVSuspendVC.back");
    back->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    ns::Weak<TVSuspendVC> weak = owner.ref<TVSuspendVC>();
    back->addTarget(nullptr, "goBackGameVC", [weak](ui::Control&, ui::Event*) {
        if (auto centre = weak.lock()) centre->goBackGameVC();
    }, ui::ControlEventTouchUpInside);
    root->addSubview(back);

    auto panel = ui::View::make({0, 0, TVSuspendVC::kPanelWidth, screen.size.height});
    panel->setBackgroundColor(cg::Color::white());
    root->addSubview(panel);
    auto area = ui::View::make({0, 0, TVSuspendVC::kPanelWidth, screen.size.height - kTabHeight});
    area->setTag(1000);
    area->setClipsToBounds(true);
    panel->addSubview(area);
    auto bar = tabBar(owner);
    panel->addSubview(bar);

    for (auto& v : {panel, area, bar}) v->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto top = area->topAnchor()->constraintEqualToAnchor(panel->topAnchor());
    auto width = panel->widthAnchor()->constraintEqualToConstant(TVSuspendVC::kPanelWidth);
    auto left = area->leadingAnchor()->constraintEqualToAnchor(panel->leadingAnchor());
    auto bottomH = bar->heightAnchor()->constraintEqualToConstant(kTabHeight);
    auto areaBottom = area->bottomAnchor()->constraintEqualToAnchor(panel->bottomAnchor(), -kTabHeight);
    ui::LayoutConstraint::activateConstraints({
        panel->topAnchor()->constraintEqualToAnchor(root->topAnchor()),
        panel->leadingAnchor()->constraintEqualToAnchor(root->leadingAnchor()),
        panel->bottomAnchor()->constraintEqualToAnchor(root->bottomAnchor()),
        width,
        bar->bottomAnchor()->constraintEqualToAnchor(panel->bottomAnchor()),
        bottomH,
        bar->leadingAnchor()->constraintEqualToAnchor(area->leadingAnchor()),
        bar->widthAnchor()->constraintEqualToConstant(TVSuspendVC::kPanelWidth),
        top,
        left,
        area->widthAnchor()->constraintEqualToConstant(TVSuspendVC::kPanelWidth),
        areaBottom,
    });
    owner.top = top;
    owner.width = width;
    owner.left = left;
    owner.bottomH = bottomH;
    owner.areaBottom = areaBottom;
    owner.tempView = area;
    owner.bottomView = bar;
    return root;
})

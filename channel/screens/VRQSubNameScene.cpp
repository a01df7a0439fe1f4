// The scene "VRQSubNameVC" of the storyboard "TVUserShow": a header with the
// account name and log-out, and below it (left inset `midLeft`) the list
// with its hint, the add button and the two companion-app links.

#include "channel/screens/TVScreenResources.h"
#include "channel/UIControl+Action.h"
#include "channel/screens/VRQSubNameVC.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"

namespace {

const cg::Color kOrange = cg::Color::fromBytes(255, 128, 0);
constexpr double kTopHeight = 64;
constexpr unsigned kFlexibleWidth = ui::ViewAutoresizingFlexibleWidth;

ns::Ref<ui::Label> label(const cg::Rect& frame, const char* key, double size) {
    auto label = ui::Label::make(frame);
    label->setText(TVScreenResources::text(key));
    label->setFont(ui::Font::systemFontOfSize(size));
    label->setTextColor(cg::Color::fromWhite(0.4));
    return label;
}

// A button whose tap calls `action` on the screen while it lives.
ns::Ref<ui::Button> button(VRQSubNameVC& owner, const cg::Rect& frame, const char* key, const char* selector,
                           void (VRQSubNameVC::*action)()) {
    auto button = ui::Button::make(frame);
    button->setTitle(TVScreenResources::text(key), ui::ControlStateNormal);
    button->setTitleColor(kOrange, ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(15));
    ControlAction::addTapAction(*button, owner, selector, action);
    return button;
}

ns::Ref<ui::View> header(VRQSubNameVC& owner, double width) {
    auto top = ui::View::make({0, 0, width, kTopHeight});
    auto icon = ui::ImageView::make({15, 22, 20, 20});
    icon->setImage(TVScreenResources::image("TV_subname_user"));
    top->addSubview(icon);
    top->addSubview(label({40, 17, 70, 30}, "subname.account", 15));
    auto name = ui::Label::make({110, 17, width - 210, 30});
    name->setFont(ui::Font::boldSystemFontOfSize(16));
    name->setAutoresizingMask(kFlexibleWidth);
    top->addSubview(name);
    owner.nameL = name;
    auto logout = button(owner, {width - 95, 17, 80, 30}, "subname.logout", "loginOut", &VRQSubNameVC::loginOut);
    logout->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
    top->addSubview(logout);
    return top;
}

ns::Ref<ui::View> middle(VRQSubNameVC& owner, cg::Size size) {
    auto mid = ui::View::make({0, kTopHeight, size.width, size.height});
    double w = size.width, h = size.height, half = (w - 40) / 2;
    auto hint = label({15, 10, w - 30, 20}, "subname.hint", 14);
    hint->setAutoresizingMask(kFlexibleWidth);
    mid->addSubview(hint);

    auto table = ui::TableView::make({15, 40, w - 30, h - 150});
    table->setAutoresizingMask(kFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    table->setBackgroundColor(cg::Color::white());
    mid->addSubview(table);
    owner.tableView = table;

    auto add = button(owner, {15, h - 100, w - 30, 40}, "subname.add", "addSubName", &VRQSubNameVC::addSubName);
    add->setTitleColor(cg::Color::white(), ui::ControlStateNormal);
    add->setImage(TVScreenResources::image("TV_subname_add"), ui::ControlStateNormal);
    add->setBackgroundColor(kOrange);
    add->setAutoresizingMask(kFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin);
    mid->addSubview(add);
    owner.addBtn = add;

    auto activity = button(owner, {15, h - 50, half, 36}, "subname.activity", "goToBoxActivity",
                           &VRQSubNameVC::goToBoxActivity);
    auto fanli = button(owner, {25 + half, h - 50, half, 36}, "subname.fanli", "goToFanli", &VRQSubNameVC::goToFanli);
    for (auto& link : {activity, fanli}) {
        link->setAutoresizingMask(kFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin |
                                  (link == fanli ? ui::ViewAutoresizingFlexibleLeftMargin : 0u));
        mid->addSubview(link);
    }
    return mid;
}

}  // namespace

UI_STORYBOARD_SCENE("TVUserShow", "VRQSubNameVC", VRQSubNameVC, [](VRQSubNameVC& owner) -> ns::Ref<ui::View> {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    auto root = ui::View::make(screen);
    root->setAutoresizingMask(kFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    auto top = header(owner, screen.size.width);
    auto mid = middle(owner, {screen.size.width, screen.size.height - kTopHeight});
    root->addSubview(top);
    root->addSubview(mid);
    owner.viewTop = top;
    owner.viewMid = mid;

    top->setTranslatesAutoresizingMaskIntoConstraints(false);
    mid->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto left = mid->leadingAnchor()->constraintEqualToAnchor(root->leadingAnchor());
    ui::LayoutConstraint::activateConstraints({
        top->topAnchor()->constraintEqualToAnchor(root->topAnchor()),
        top->leadingAnchor()->constraintEqualToAnchor(root->leadingAnchor()),
        top->trailingAnchor()->constraintEqualToAnchor(root->trailingAnchor()),
        top->heightAnchor()->constraintEqualToConstant(kTopHeight),
        mid->topAnchor()->constraintEqualToAnchor(top->bottomAnchor()),
        left,
        mid->trailingAnchor()->constraintEqualToAnchor(root->trailingAnchor()),
        mid->bottomAnchor()->constraintEqualToAnchor(root->bottomAnchor()),
    });
    owner.midLeft = left;
    return root;
})

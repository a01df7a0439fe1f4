#include "channel/screens/TVBaseVC.h"

#include "channel/screens/TVScreenResources.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"

RT_DEFINE_CLASS(TVBaseVC, ui::ViewController, "TVBaseVC")

namespace {

ns::Ref<ui::Label> boldTitleLabel(const cg::Rect& frame, const ns::Ref<ns::String>& text) {
    auto label = ui::Label::make(frame);
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setFont(ui::Font::boldSystemFontOfSize(20));
    label->setTextColor(cg::Color::black());
    label->setText(text);
    return label;
}

}  // namespace

void TVBaseVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    createLeftItem();
}

void TVBaseVC::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    titlelable_ = boldTitleLabel({0, 0, 95, 30}, nullptr);
    view()->updateConstraintsIfNeeded();
    setAutomaticallyAdjustsScrollViewInsets(false);
}

void TVBaseVC::setTitle(const ns::Ref<ns::String>& title) {
    if (titlelable_) titlelable_->setText(title);
    navigationItem()->setTitleView(titlelable_);
}

void TVBaseVC::createLeftItem() {
    auto container = ui::View::make({15, 0, 70, 30});
    container->setBackgroundColor(cg::Color::clear());
    auto button = ui::Button::make({0, 2, 30, 25});
    button->setImage(TVScreenResources::image("TV_nav_back"), ui::ControlStateNormal);
    // The screen owns the bar item, which owns the button: hold it weakly.
    ns::Weak<TVBaseVC> weak = ref<TVBaseVC>();
    button->addTarget(
        nullptr, "popAction",
        [weak](ui::Control&, ui::Event*) {
            if (auto screen = weak.lock()) screen->popAction();
        },
        ui::ControlEventTouchUpInside);
    container->addSubview(button);
    navigationItem()->setLeftBarButtonItem(ui::BarButtonItem::withCustomView(container));
}

void TVBaseVC::hiddenLeftBtn() {
    navigationItem()->setLeftBarButtonItem(ui::BarButtonItem::withCustomView(ui::View::make()));
}

void TVBaseVC::popAction() {
    hiddenLeftBtn();
    auto navigation = navigationController();
    if (!navigation) return;
    if (auto titleView = navigation->navigationBar()->viewWithTag(kBarTitleViewTag)) titleView->removeFromSuperview();
    size_t depth = navigation->viewControllers().size();
    if (depth > 1) navigation->popViewController(true);
    else if (depth == 1) navigation->dismissViewController(true);
}

void TVBaseVC::hiddenNavBar(bool hidden) {
    if (auto navigation = navigationController()) navigation->setNavigationBarHidden(hidden, false);
}

void TVBaseVC::SetBarTitleViewWithTitle(const ns::Ref<ns::String>& title, const ns::Ref<ui::Image>& image) {
    auto container = ui::View::make({0, 0, 120, 30});
    container->setBackgroundColor(cg::Color::clear());
    container->setTag(kBarTitleViewTag);
    if (auto navigation = navigationController()) {
        cg::Rect bar = navigation->navigationBar()->frame();
        container->setCenter({bar.size.width / 2, bar.size.height / 2});
    }
    auto label = boldTitleLabel({25, 0, 95, 30}, title);
    auto imageView = ui::ImageView::make({0, 0, 20, 20});
    imageView->setImage(image);
    imageView->setCenter({imageView->center().x, label->center().y});
    container->addSubview(label);
    container->addSubview(imageView);
    navigationItem()->setTitleView(container);
}

bool TVBaseVC::textFieldShouldChangeCharactersInRange(ui::TextField& field, ns::Range,
                                                      const ns::Ref<ns::String>& replacement) {
    if (replacement && replacement->utf8() == "\n") {
        field.resignFirstResponder();
        return false;
    }
    return true;
}

bool TVBaseVC::textFieldShouldBeginEditing(ui::TextField&) {
    return true;
}

std::shared_ptr<ui::TextFieldDelegate> TVBaseVC::textFieldDelegate() {
    return ref<TVBaseVC>();
}

void TVBaseVC::touchesBegan(const ui::TouchSet&, ui::Event*) {
    if (auto root = viewIfLoaded()) root->endEditing(true);
}

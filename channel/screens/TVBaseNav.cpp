#include "channel/screens/TVBaseNav.h"

#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/NavigationBar.h"

RT_DEFINE_CLASS(TVBaseNav, ui::NavigationController, "TVBaseNav")

ns::Ref<TVBaseNav> TVBaseNav::make(const ns::Ref<ui::ViewController>& root) {
    return std::make_shared<TVBaseNav>(root);
}

void TVBaseNav::viewDidLoad() {
    ui::NavigationController::viewDidLoad();
    initView();
}

void TVBaseNav::initView() {
    ui::BarButtonItem::appearance().setTitleTextAttributes({{"NSColor", ui::valueWithColor(cg::Color::black())}},
                                                           ui::ControlStateNormal);
    navigationBar()->setBarTintColor(cg::Color::white());
}

bool TVBaseNav::shouldAutorotate() const {
    auto top = topViewController();
    return top ? top->shouldAutorotate() : ui::NavigationController::shouldAutorotate();
}

unsigned TVBaseNav::supportedInterfaceOrientations() const {
    auto top = topViewController();
    return top ? top->supportedInterfaceOrientations() : ui::NavigationController::supportedInterfaceOrientations();
}

ui::InterfaceOrientation TVBaseNav::preferredInterfaceOrientationForPresentation() const {
    auto top = topViewController();
    return top ? top->preferredInterfaceOrientationForPresentation()
               : ui::NavigationController::preferredInterfaceOrientationForPresentation();
}

bool TVBaseNav::gestureRecognizerShouldBegin(ui::GestureRecognizer&) {
    if (viewControllers().size() == 1) return false;
    return !isTransitioning();
}

void TVBaseNav::overrideGesture() {
    if (backPan_) return;
    interactivePopGestureRecognizer()->setEnabled(false);
    backPan_ = std::make_shared<ui::PanGestureRecognizer>();
    backPan_->setMaximumNumberOfTouches(1);
    backPan_->setDelegate(std::shared_ptr<ui::GestureRecognizerDelegate>(ref<TVBaseNav>()));
    // The view owns the recognizer, which must not own the controller.
    ns::Weak<TVBaseNav> weak = ref<TVBaseNav>();
    backPan_->addTarget([weak](ui::GestureRecognizer& recognizer) {
        auto navigation = weak.lock();
        if (!navigation || recognizer.state() != ui::GestureRecognizerState::Ended) return;
        auto& pan = static_cast<ui::PanGestureRecognizer&>(recognizer);
        auto root = navigation->view();
        if (pan.translationInView(root.get()).x > root->bounds().size.width / 2) navigation->popViewController(true);
    });
    view()->addGestureRecognizer(backPan_);
}

#include "platform/uikit/NavigationController.h"

#include <algorithm>

#include "platform/runtime/Exception.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/PlatformMetrics.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/View.h"

namespace ui {

// The navigation controller's view: lays out the bar and the top
// controller's view, and gates the interactive pop.
class NavigationContainerView : public View {
    RT_DECLARE_CLASS(NavigationContainerView)
public:
    NavigationContainerView() = default;
    explicit NavigationContainerView(const cg::Rect& frame) : View(frame) {}

    ns::Weak<NavigationController> owner;

    void layoutSubviews() override {
        View::layoutSubviews();
        if (auto nav = owner.lock()) nav->layoutContent();
    }

    bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer) override {
        auto nav = owner.lock();
        if (!nav || &recognizer != nav->interactivePop_.get()) return View::gestureRecognizerShouldBegin(recognizer);
        if (nav->viewControllers().size() < 2) return false;
        auto& pan = static_cast<PanGestureRecognizer&>(recognizer);
        cg::Point location = pan.locationInView(this);
        cg::Point translation = pan.translationInView(this);
        return location.x - translation.x <= NavigationController::EdgeSwipeWidth;
    }
};

RT_DEFINE_CLASS(NavigationContainerView, View, "UILayoutContainerView")
RT_DEFINE_CLASS(NavigationController, ViewController, "UINavigationController")

NavigationController::NavigationController() {
    bar_ = std::make_shared<NavigationBar>();
    interactivePop_ = std::make_shared<PanGestureRecognizer>();
    interactivePop_->setMaximumNumberOfTouches(1);
}

NavigationController::NavigationController(const ns::Ref<ViewController>& root) : NavigationController() {
    if (root) pendingRoot_ = root;
}

NavigationController::~NavigationController() = default;

ns::Ref<NavigationController> NavigationController::make(const ns::Ref<ViewController>& root) {
    auto nav = std::make_shared<NavigationController>();
    if (root) nav->setViewControllers({root}, false);
    return nav;
}

void NavigationController::ensureStack() const {
    if (!pendingRoot_) return;
    auto* self = const_cast<NavigationController*>(this);
    auto root = std::move(self->pendingRoot_);
    self->pendingRoot_ = nullptr;
    self->transition({root}, false);
}

ns::Ref<View> NavigationController::view() {
    ensureStack();
    return ViewController::view();
}

const std::vector<ns::Ref<ViewController>>& NavigationController::viewControllers() const {
    ensureStack();
    return stack_;
}

ns::Ref<ViewController> NavigationController::topViewController() const {
    const auto& stack = viewControllers();
    return stack.empty() ? nullptr : stack.back();
}

ns::Ref<ViewController> NavigationController::visibleViewController() const {
    auto presented = presentedViewController();
    if (!presented) return topViewController();
    while (presented->presentedViewController()) presented = presented->presentedViewController();
    return presented;
}

// ---- The view ----

void NavigationController::loadView() {
    auto container = std::make_shared<NavigationContainerView>(Screen::mainScreen()->bounds());
    container->owner = std::static_pointer_cast<NavigationController>(ref<ViewController>());
    container->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    setView(container);
    if (auto top = topViewController()) {
        auto content = top->view();
        content->setFrame(container->bounds());
        content->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
        container->addSubview(content);
    }
    container->addSubview(bar_);
    container->addGestureRecognizer(interactivePop_);
    ns::Weak<NavigationController> weak = std::static_pointer_cast<NavigationController>(ref<ViewController>());
    bar_->setBackHandler([weak] {
        if (auto nav = weak.lock()) nav->popViewController(true);
    });
    interactivePop_->addTarget([weak](GestureRecognizer& recognizer) {
        if (auto nav = weak.lock()) nav->handleInteractivePop(recognizer);
    });
    layoutContent();
}

void NavigationController::layoutContent() {
    if (!isViewLoaded()) return;
    auto container = viewIfLoaded();
    cg::Rect bounds = container->bounds();
    double top = container->safeAreaInsets().top;
    bar_->setFrame({0, top, bounds.width(), NavigationBarHeight});
    for (const auto& child : childViewControllers()) {
        auto content = child->viewIfLoaded();
        if (content && content->superview() == container) content->setFrame(bounds);
    }
}

bool NavigationController::isNavigationBarHidden() const { return bar_->isHidden(); }

void NavigationController::setNavigationBarHidden(bool hidden, bool) { bar_->setHidden(hidden); }

ns::Ref<GestureRecognizer> NavigationController::interactivePopGestureRecognizer() { return interactivePop_; }

void NavigationController::handleInteractivePop(GestureRecognizer& recognizer) {
    if (recognizer.state() != GestureRecognizerState::Ended || !isViewLoaded()) return;
    auto container = viewIfLoaded();
    cg::Point translation = interactivePop_->translationInView(container.get());
    if (translation.x > container->bounds().width() / 2) popViewController(true);
}

// ---- The stack ----

bool NavigationController::isOnScreen() const {
    auto container = viewIfLoaded();
    if (!container || !container->window()) return false;
    return appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing;
}

void NavigationController::finishTransitionNow() {
    if (!pendingFinish_) return;
    auto finish = std::move(pendingFinish_);
    pendingFinish_ = nullptr;
    finish();
}

void NavigationController::transition(std::vector<ns::Ref<ViewController>> stack, bool animated) {
    finishTransitionNow();
    auto self = std::static_pointer_cast<NavigationController>(ref<ViewController>());
    std::vector<ns::Ref<ViewController>> old = children_;
    auto contains = [](const std::vector<ns::Ref<ViewController>>& list, const ns::Ref<ViewController>& c) {
        return std::find(list.begin(), list.end(), c) != list.end();
    };
    std::vector<ns::Ref<ViewController>> leaving;
    std::vector<ns::Ref<ViewController>> joining;
    for (const auto& c : old) {
        if (!contains(stack, c)) leaving.push_back(c);
    }
    for (const auto& c : stack) {
        if (!contains(old, c)) joining.push_back(c);
    }
    ns::Ref<ViewController> oldTop = old.empty() ? nullptr : old.back();
    ns::Ref<ViewController> newTop = stack.empty() ? nullptr : stack.back();

    for (const auto& c : leaving) {
        c->movingFromParent_ = true;
        c->willMoveToParentViewController(nullptr);
    }
    for (const auto& c : joining) addChildViewController(c);
    // The stack's order is the children's order.
    std::vector<ns::Ref<ViewController>> ordered = stack;
    for (const auto& c : children_) {
        if (!contains(stack, c)) ordered.push_back(c);
    }
    children_ = ordered;
    stack_ = stack;

    std::vector<ns::Ref<NavigationItem>> items;
    for (const auto& c : stack) items.push_back(c->navigationItem());
    bar_->setItems(items, animated);
    if (auto d = delegate(); d && newTop) d->navigationControllerWillShowViewController(*this, *newTop, animated);

    bool onScreen = isOnScreen();
    bool topChanges = oldTop != newTop;
    if (topChanges && onScreen) {
        if (oldTop) oldTop->beginAppearanceTransition(false, animated);
        if (newTop) newTop->beginAppearanceTransition(true, animated);
    }
    if (topChanges && newTop && isViewLoaded()) {
        auto container = viewIfLoaded();
        auto content = newTop->view();
        content->setFrame(container->bounds());
        content->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
        container->insertSubviewBelow(content, bar_);
    }

    pendingFinish_ = [self, oldTop, newTop, leaving, joining, topChanges, onScreen, animated] {
        if (topChanges && oldTop) {
            auto content = oldTop->viewIfLoaded();
            if (content && content->superview() == self->viewIfLoaded()) content->removeFromSuperview();
        }
        if (topChanges && onScreen) {
            if (oldTop) oldTop->endAppearanceTransition();
            if (newTop) newTop->endAppearanceTransition();
        }
        for (const auto& c : leaving) c->removeFromParentViewController();
        for (const auto& c : joining) {
            if (c->parentViewController() == self) c->didMoveToParentViewController(self.get());
        }
        if (auto d = self->delegate(); d && newTop) {
            d->navigationControllerDidShowViewController(*self, *newTop, animated);
        }
    };
    if (!onScreen) {
        finishTransitionNow();
        return;
    }
    uint64_t generation = ++transitionGeneration_;
    ns::Weak<NavigationController> weak = self;
    finishLater(animated, [weak, generation] {
        auto nav = weak.lock();
        if (nav && nav->transitionGeneration_ == generation) nav->finishTransitionNow();
    });
}

void NavigationController::setViewControllers(std::vector<ns::Ref<ViewController>> controllers, bool animated) {
    ensureStack();
    for (size_t i = 0; i < controllers.size(); ++i) {
        if (!controllers[i]) ns::Exception::raise(ns::InvalidArgumentException, "Cannot set a nil view controller");
        if (std::find(controllers.begin(), controllers.begin() + std::ptrdiff_t(i), controllers[i]) !=
            controllers.begin() + std::ptrdiff_t(i)) {
            ns::Exception::raise(ns::InvalidArgumentException,
                                 "All view controllers in a navigation controller must be distinct");
        }
    }
    transition(std::move(controllers), animated);
}

void NavigationController::pushViewController(const ns::Ref<ViewController>& controller, bool animated) {
    ensureStack();
    if (!controller) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "Application tried to push a nil view controller on target " + description() + ".");
    }
    if (std::dynamic_pointer_cast<NavigationController>(controller)) {
        ns::Exception::raise(ns::InvalidArgumentException, "Pushing a navigation controller is not supported");
    }
    const auto& stack = viewControllers();
    if (std::find(stack.begin(), stack.end(), controller) != stack.end()) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "Pushing the same view controller instance more than once is not supported (" +
                                 controller->description() + ")");
    }
    std::vector<ns::Ref<ViewController>> next = stack;
    next.push_back(controller);
    transition(std::move(next), animated);
}

ns::Ref<ViewController> NavigationController::popViewController(bool animated) {
    ensureStack();
    std::vector<ns::Ref<ViewController>> stack = viewControllers();
    if (stack.size() < 2) return nullptr;
    auto top = stack.back();
    stack.pop_back();
    transition(std::move(stack), animated);
    return top;
}

std::vector<ns::Ref<ViewController>> NavigationController::popToRootViewController(bool animated) {
    ensureStack();
    const auto& stack = viewControllers();
    if (stack.empty()) return {};
    ns::Ref<ViewController> root = stack.front();  // the stack is replaced by the pop
    return popToViewController(root, animated);
}

std::vector<ns::Ref<ViewController>> NavigationController::popToViewController(
    const ns::Ref<ViewController>& controller, bool animated) {
    ensureStack();
    std::vector<ns::Ref<ViewController>> stack = viewControllers();
    auto it = std::find(stack.begin(), stack.end(), controller);
    if (!controller || it == stack.end()) {
        ns::Exception::raise(ns::InvalidArgumentException, "Tried to pop to a view controller that doesn't exist.");
    }
    std::vector<ns::Ref<ViewController>> popped(it + 1, stack.end());
    if (popped.empty()) return {};
    stack.erase(it + 1, stack.end());
    transition(std::move(stack), animated);
    return popped;
}

}  // namespace ui

#include "platform/uikit/ViewController.h"

#include <algorithm>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/runtime/Exception.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/View.h"
#include "platform/uikit/Window.h"

namespace ui {

RT_DEFINE_CLASS(ViewController, Responder, "UIViewController")

ViewController::ViewController() = default;

ViewController::~ViewController() {
    if (view_) view_->setViewDelegate({});
}

// ---- The view ----

ns::Ref<View> ViewController::view() {
    loadViewIfNeeded();
    return view_;
}

void ViewController::setView(const ns::Ref<View>& view) {
    if (view_ == view) return;
    if (view_) view_->setViewDelegate({});
    view_ = view;
    if (!view_) return;
    // Nil while this controller is still being constructed.
    if (auto self = std::static_pointer_cast<ViewControllerBase>(weak_from_this().lock())) view_->setViewDelegate(self);
}

void ViewController::setNibName(std::string name, ns::Ref<ns::Bundle> bundle) {
    nibName_ = std::move(name);
    nibBundle_ = std::move(bundle);
}

void ViewController::loadViewIfNeeded() {
    if (view_ || loading_) return;
    auto keep = ref<ViewController>();
    loading_ = true;
    try {
        loadView();
    } catch (...) {
        loading_ = false;
        throw;
    }
    loading_ = false;
    if (!view_) {
        auto plain = View::make(Screen::mainScreen()->bounds());
        plain->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
        setView(plain);
    } else if (!view_->viewDelegate()) {
        view_->setViewDelegate(std::static_pointer_cast<ViewControllerBase>(keep));
    }
    viewDidLoad();
}

void ViewController::loadView() {
    if (sceneViewBuilder_) {
        setView(sceneViewBuilder_(*this));
        return;
    }
    std::string nib = nibName_;
    if (nib.empty() && SceneRegistry::nib(className())) nib = className();
    if (!nib.empty()) {
        Nib::nibWithName(nib, nibBundle_)->instantiateWithOwner(ref<ViewController>());
        if (!view_) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "-[UIViewController _loadViewFromNibNamed:bundle:] loaded the \"" + nib +
                                     "\" nib but the view outlet was not set.");
        }
        return;
    }
    auto plain = View::make(Screen::mainScreen()->bounds());
    plain->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    setView(plain);
}

// ---- Appearance ----

void ViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
    auto keep = ref<ViewController>();
    if (isAppearing) {
        if (appearance_ == Appearance::Appearing || appearance_ == Appearance::Appeared) return;
        loadViewIfNeeded();
        appearance_ = Appearance::Appearing;
        appearanceAnimated_ = animated;
        viewWillAppear(animated);
    } else {
        if (appearance_ == Appearance::Disappearing || appearance_ == Appearance::Disappeared) return;
        appearance_ = Appearance::Disappearing;
        appearanceAnimated_ = animated;
        viewWillDisappear(animated);
    }
    // Children shown inside this controller's view follow it.
    for (const auto& child : std::vector<ns::Ref<ViewController>>(children_)) {
        if (child->view_ && view_ && child->view_->isDescendantOfView(view_.get())) {
            child->beginAppearanceTransition(isAppearing, animated);
        }
    }
}

void ViewController::endAppearanceTransition() {
    auto keep = ref<ViewController>();
    bool appearing = appearance_ == Appearance::Appearing;
    if (!appearing && appearance_ != Appearance::Disappearing) return;
    if (appearing && !autoTransition_ && view_ && view_->window()) view_->layoutIfNeeded();
    for (const auto& child : std::vector<ns::Ref<ViewController>>(children_)) {
        bool inTransition = child->appearance_ == (appearing ? Appearance::Appearing : Appearance::Disappearing);
        if (inTransition && child->view_ && view_ && child->view_->isDescendantOfView(view_.get())) {
            child->endAppearanceTransition();
        }
    }
    if (appearing) {
        appearance_ = Appearance::Appeared;
        movingToParent_ = false;
        viewDidAppear(appearanceAnimated_);
    } else {
        appearance_ = Appearance::Disappeared;
        movingFromParent_ = false;
        viewDidDisappear(appearanceAnimated_);
    }
}

void ViewController::rootViewWillMoveToWindow(Window* newWindow) {
    if (newWindow) {
        if (view_ && view_->window()) return;  // from one window to another
        if (appearance_ != Appearance::Disappeared) return;
        autoTransition_ = true;
        beginAppearanceTransition(true, false);
    } else {
        if (appearance_ != Appearance::Appeared) return;
        autoTransition_ = true;
        beginAppearanceTransition(false, false);
    }
}

void ViewController::rootViewDidMoveToWindow() {
    if (!autoTransition_) return;
    endAppearanceTransition();
    autoTransition_ = false;
}

// ---- Title and items ----

void ViewController::setTitle(const ns::Ref<ns::String>& title) {
    title_ = title;
    navigationItem()->setTitle(title);
}

const ns::Ref<NavigationItem>& ViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_shared<NavigationItem>(title_);
    return navigationItem_;
}

ns::Ref<NavigationController> ViewController::navigationController() const {
    for (auto c = parentViewController(); c; c = c->parentViewController()) {
        if (auto nav = std::dynamic_pointer_cast<NavigationController>(c)) return nav;
    }
    return nullptr;
}

// ---- Presentation ----

ModalPresentationStyle ViewController::effectivePresentationStyle() const {
    switch (modalPresentationStyle_) {
        case ModalPresentationStyle::Automatic:
        case ModalPresentationStyle::Popover:
            return Screen::mainScreen()->model().systemMajorVersion() >= 13 ? ModalPresentationStyle::PageSheet
                                                                            : ModalPresentationStyle::FullScreen;
        case ModalPresentationStyle::None: return ModalPresentationStyle::FullScreen;
        default: return modalPresentationStyle_;
    }
}

ns::Ref<ViewController> ViewController::presentingViewController() const {
    for (auto c = std::const_pointer_cast<ViewController>(ref<ViewController>()); c; c = c->parentViewController()) {
        if (auto presenter = c->presenting_.lock()) return presenter;
    }
    return nullptr;
}

ns::Ref<ViewController> ViewController::presentationHost(ModalPresentationStyle style) {
    auto self = ref<ViewController>();
    if (style == ModalPresentationStyle::CurrentContext || style == ModalPresentationStyle::OverCurrentContext) {
        for (auto c = self; c; c = c->parentViewController()) {
            if (c->definesPresentationContext_) return c;
        }
    }
    auto root = self;
    while (auto parent = root->parentViewController()) root = parent;
    return root;
}

void ViewController::whenIdle(std::function<void()> operation) {
    if (transitioning_) {
        waiting_.push_back(std::move(operation));
        return;
    }
    operation();
}

void ViewController::setTransitioning(bool on) {
    transitioning_ = on;
    auto keep = ref<ViewController>();
    while (!transitioning_ && !waiting_.empty()) {
        auto operation = std::move(waiting_.front());
        waiting_.pop_front();
        operation();
    }
}

void ViewController::finishLater(bool animated, std::function<void()> step) {
    if (animated) {
        dispatch::after(TransitionDuration, dispatch::mainQueue(), std::move(step));
    } else {
        dispatch::async(dispatch::mainQueue(), std::move(step));
    }
}

void ViewController::presentViewController(const ns::Ref<ViewController>& controller, bool animated,
                                           Completion completion) {
    if (!controller) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "Application tried to present a nil modal view controller on target " + description() +
                                 ".");
    }
    if (controller.get() == this) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "Application tried to present modal view controller on itself. Presenting controller is " +
                                 description() + ".");
    }
    if (auto parent = controller->parentViewController()) {
        ns::Exception::raise(ns::InvalidArgumentException, "Application tried to present modally a view controller " +
                                                               controller->description() +
                                                               " that has a parent view controller " +
                                                               parent->description() + ".");
    }
    if (auto presenter = controller->presenting_.lock()) {
        ns::Exception::raise(ns::InvalidArgumentException, "Application tried to present modally a view controller " +
                                                               controller->description() +
                                                               " that is already being presented by " +
                                                               presenter->description() + ".");
    }
    auto host = presentationHost(controller->effectivePresentationStyle());
    host->whenIdle([host, controller, animated, completion = std::move(completion)]() mutable {
        host->performPresentation(controller, animated, std::move(completion));
    });
}

void ViewController::performPresentation(const ns::Ref<ViewController>& controller, bool animated,
                                         Completion completion) {
    if (auto presenter = controller->presenting_.lock()) {
        ns::log("Warning: Attempt to present %@ on %@ which is already presented by %@", controller, ref<ViewController>(),
                presenter);
        return;
    }
    if (presented_) {
        ns::log("Warning: Attempt to present %@ on %@ which is already presenting %@", controller,
                ref<ViewController>(), presented_);
        return;
    }
    ns::Ref<Window> window = view_ ? view_->window() : nullptr;
    if (!window) {
        ns::log("Warning: Attempt to present %@ on %@ whose view is not in the window hierarchy!", controller,
                ref<ViewController>());
        return;
    }
    auto self = ref<ViewController>();
    ModalPresentationStyle style = controller->effectivePresentationStyle();
    bool coversPresenter = style == ModalPresentationStyle::FullScreen || style == ModalPresentationStyle::CurrentContext;
    presented_ = controller;
    controller->presenting_ = self;
    controller->beingPresented_ = true;
    setTransitioning(true);

    auto presentedView = controller->view();
    cg::Rect frame = window->bounds();
    switch (style) {
        case ModalPresentationStyle::CurrentContext:
        case ModalPresentationStyle::OverCurrentContext: frame = view_->convertRectToView(view_->bounds(), nullptr); break;
        case ModalPresentationStyle::PageSheet:
        case ModalPresentationStyle::FormSheet: {
            double top = window->safeAreaInsets().top + 10;
            frame = {0, top, frame.width(), frame.height() - top};
            break;
        }
        default: break;
    }
    if (coversPresenter) beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);
    presentedView->setFrame(frame);
    presentedView->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    window->addSubview(presentedView);

    finishLater(animated, [self, controller, coversPresenter, completion = std::move(completion)] {
        if (coversPresenter && self->view_) {
            if (auto superview = self->view_->superview()) {
                const auto& siblings = superview->subviews();
                size_t index = size_t(std::find(siblings.begin(), siblings.end(), self->view_) - siblings.begin());
                self->hiddenPlacement_ = {superview, index};
                self->viewHiddenByPresentation_ = true;
                self->view_->removeFromSuperview();
            }
        }
        controller->endAppearanceTransition();
        if (coversPresenter) self->endAppearanceTransition();
        controller->beingPresented_ = false;
        if (completion) completion();
        self->setTransitioning(false);
    });
}

void ViewController::dismissViewController(bool animated, Completion completion) {
    auto self = ref<ViewController>();
    if (presented_) {
        whenIdle([self, animated, completion = std::move(completion)]() mutable {
            self->performDismissal(animated, std::move(completion));
        });
        return;
    }
    for (auto c = self; c; c = c->parentViewController()) {
        if (auto presenter = c->presenting_.lock()) {
            presenter->dismissViewController(animated, std::move(completion));
            return;
        }
    }
    if (completion) finishLater(false, std::move(completion));
}

void ViewController::performDismissal(bool animated, Completion completion) {
    if (!presented_) {
        if (completion) finishLater(false, std::move(completion));
        return;
    }
    auto self = ref<ViewController>();
    // Everything presented above goes with it, top first.
    std::vector<ns::Ref<ViewController>> chain;
    for (auto c = presented_; c; c = c->presented_) chain.insert(chain.begin(), c);
    bool restore = viewHiddenByPresentation_;
    setTransitioning(true);

    for (const auto& c : chain) {
        c->beingDismissed_ = true;
        c->beginAppearanceTransition(false, animated);
    }
    if (restore) {
        beginAppearanceTransition(true, animated);
        viewHiddenByPresentation_ = false;
        if (auto superview = hiddenPlacement_.superview.lock(); superview && view_) {
            superview->insertSubview(view_, std::min(hiddenPlacement_.index, superview->subviews().size()));
        }
        hiddenPlacement_ = {};
    }

    finishLater(animated, [self, chain, restore, completion = std::move(completion)] {
        for (const auto& c : chain) {
            if (c->view_) c->view_->removeFromSuperview();
        }
        for (const auto& c : chain) {
            c->presenting_.reset();
            c->presented_.reset();
            c->viewHiddenByPresentation_ = false;
        }
        self->presented_.reset();
        if (restore) self->endAppearanceTransition();
        for (const auto& c : chain) {
            c->endAppearanceTransition();
            c->beingDismissed_ = false;
        }
        if (completion) completion();
        self->setTransitioning(false);
    });
}

// ---- Children ----

void ViewController::addChildViewController(const ns::Ref<ViewController>& child) {
    if (!child || child.get() == this) return;
    if (child->parentViewController().get() == this) return;
    if (child->parentViewController()) child->removeFromParentViewController();
    auto keep = child;
    child->movingToParent_ = true;
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->parent_ = ref<ViewController>();
}

void ViewController::removeFromParentViewController() {
    auto parent = parent_.lock();
    if (!parent) return;
    auto keep = ref<ViewController>();
    auto& siblings = parent->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    parent_.reset();
    didMoveToParentViewController(nullptr);
}

// ---- Rotation ----

void ViewController::viewWillTransitionToSize(cg::Size size) {
    for (const auto& child : std::vector<ns::Ref<ViewController>>(children_)) child->viewWillTransitionToSize(size);
    if (presented_) presented_->viewWillTransitionToSize(size);
}

// ---- Responders ----

ns::Ref<Responder> ViewController::nextResponder() const {
    if (auto presenter = presenting_.lock()) return presenter;
    if (view_) {
        if (auto superview = view_->superview()) return superview;
    }
    return parent_.lock();
}

}  // namespace ui

#include "platform/uikit/Window.h"

#include <algorithm>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Touch.h"
#include "platform/uikit/ViewControllerHost.h"

namespace ui {

RT_DEFINE_CLASS(Window, View, "UIWindow")

Window::Window() : Window(cg::Rect{}) {}

Window::Window(const cg::Rect& frame) : View(frame) {
    // Windows start hidden, as on the platform; no one observes a new window.
    layer()->hidden_ = true;
}

Window::~Window() = default;

ns::Ref<Window> Window::make(const cg::Rect& frame) { return std::make_shared<Window>(frame); }

ns::Ref<Window> Window::makeFullScreen() { return make(Screen::mainScreen()->bounds()); }

void Window::setWindowLevel(double level) {
    if (windowLevel_ == level) return;
    windowLevel_ = level;
    if (!isHidden()) Application::sharedApplication()->windowLevelChanged(*this);
}

ns::Ref<Screen> Window::screen() const { return Screen::mainScreen(); }

ns::Ref<Responder> Window::nextResponder() const { return Application::sharedApplication(); }

// ---- Root view controller ----

void Window::installRootView() {
    if (rootInstalled_ || !rootViewController_) return;
    auto controller = rootViewController_;
    auto view = controller->view();
    if (!view) return;
    rootInstalled_ = true;
    controller->beginAppearanceTransition(true, false);
    view->setFrame(bounds());
    view->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(view);
    controller->endAppearanceTransition();
}

void Window::uninstallRootView() {
    if (!rootInstalled_ || !rootViewController_) return;
    rootInstalled_ = false;
    auto controller = rootViewController_;
    controller->beginAppearanceTransition(false, false);
    if (controller->isViewLoaded()) {
        auto view = controller->view();
        if (view && view->superview().get() == this) view->removeFromSuperview();
    }
    controller->endAppearanceTransition();
}

void Window::setRootViewController(const ns::Ref<ViewControllerBase>& controller) {
    if (controller == rootViewController_) return;
    uninstallRootView();
    if (rootViewController_ && rootViewController_->isViewLoaded()) {
        // A hidden window still holds the old root's view as a subview.
        auto view = rootViewController_->view();
        if (view && view->superview().get() == this) view->removeFromSuperview();
    }
    rootViewController_ = controller;
    if (!isHidden()) installRootView();
}

// ---- Visibility and key status ----

void Window::setHidden(bool hidden) {
    if (hidden == isHidden()) return;
    auto keep = ref<Window>();
    auto app = Application::sharedApplication();
    auto center = ns::NotificationCenter::defaultCenter();
    if (!hidden) {
        View::setHidden(false);
        app->windowBecameVisible(*this);
        installRootView();
        setNeedsLayout();
        center->postNotificationName(WindowDidBecomeVisibleNotification, keep);
    } else {
        uninstallRootView();
        View::setHidden(true);
        app->windowBecameHidden(*this);
        center->postNotificationName(WindowDidBecomeHiddenNotification, keep);
    }
}

void Window::makeKey() { Application::sharedApplication()->setKeyWindow(ref<Window>()); }

void Window::makeKeyAndVisible() {
    setHidden(false);
    makeKey();
}

bool Window::isKeyWindow() const { return Application::sharedApplication()->keyWindow().get() == this; }

cg::EdgeInsets Window::windowSafeAreaInsets() const {
    auto app = Application::sharedApplication();
    const ScreenModel& model = Screen::mainScreen()->model();
    cg::EdgeInsets screenInsets = model.safeAreaInsets(app->isStatusBarHidden());
    cg::Rect screenSafe = screenInsets.insetRect(Screen::mainScreen()->bounds());
    cg::Rect mine = frame();
    auto clamp = [](double v, double max) { return std::clamp(v, 0.0, std::max(0.0, max)); };
    return {clamp(screenSafe.minY() - mine.minY(), mine.height()), clamp(screenSafe.minX() - mine.minX(), mine.width()),
            clamp(mine.maxY() - screenSafe.maxY(), mine.height()), clamp(mine.maxX() - screenSafe.maxX(), mine.width())};
}

// ---- Events ----

namespace {

template <class T>
void addUnique(std::vector<ns::Ref<T>>& list, const ns::Ref<T>& item) {
    if (item && std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

bool isLive(GestureRecognizerState s) {
    return s == GestureRecognizerState::Possible || s == GestureRecognizerState::Began ||
           s == GestureRecognizerState::Changed;
}

bool takesTouches(GestureRecognizerState s) {
    return s == GestureRecognizerState::Began || s == GestureRecognizerState::Changed ||
           s == GestureRecognizerState::Ended;
}

using Phase = TouchPhase;

void deliverToRecognizer(GestureRecognizer& r, Phase phase, const TouchSet& touches, Event& event) {
    switch (phase) {
        case Phase::Began: r.touchesBegan(touches, event); break;
        case Phase::Moved:
        case Phase::Stationary: r.touchesMoved(touches, event); break;
        case Phase::Ended: r.touchesEnded(touches, event); break;
        case Phase::Cancelled: r.touchesCancelled(touches, event); break;
    }
}

void deliverToView(View& v, Phase phase, const TouchSet& touches, Event& event) {
    switch (phase) {
        case Phase::Began: v.touchesBegan(touches, &event); break;
        case Phase::Moved:
        case Phase::Stationary: v.touchesMoved(touches, &event); break;
        case Phase::Ended: v.touchesEnded(touches, &event); break;
        case Phase::Cancelled: v.touchesCancelled(touches, &event); break;
    }
}

}  // namespace

void Window::sendEvent(Event& event) {
    auto keep = ref<Window>();
    TouchSet mine = event.touchesForWindow(this);

    // Where new touches land, and who watches them.
    for (const auto& touch : mine) {
        if (touch->phase() != Phase::Began || touch->view_.lock()) continue;
        auto hit = hitTest(touch->location_, &event);
        touch->view_ = hit;
        touch->recognizers_.clear();
        for (auto v = hit; v; v = v->superview()) {
            for (const auto& r : v->gestureRecognizers()) {
                if (!r->isEnabled()) continue;
                if (auto d = r->delegate(); d && !d->gestureRecognizerShouldReceiveTouch(*r, *touch)) continue;
                touch->recognizers_.push_back(r);
            }
        }
    }

    // Recognizers first, phase by phase.
    std::vector<ns::Ref<GestureRecognizer>> recognizers;
    for (const auto& touch : mine) {
        for (const auto& r : touch->gestureRecognizers()) addUnique(recognizers, r);
    }
    for (Phase phase : {Phase::Began, Phase::Moved, Phase::Stationary, Phase::Ended, Phase::Cancelled}) {
        for (const auto& r : recognizers) {
            if (!isLive(r->state()) && phase != Phase::Ended && phase != Phase::Cancelled) continue;
            TouchSet touches;
            for (const auto& t : mine) {
                if (t->phase() != phase) continue;
                auto list = t->gestureRecognizers();
                if (std::find(list.begin(), list.end(), r) != list.end()) touches.push_back(t);
            }
            if (touches.empty()) continue;
            if (!isLive(r->state())) {
                // A finished recognizer only lets go of its touches.
                for (const auto& t : touches) r->forgetTouch(t.get());
                continue;
            }
            deliverToRecognizer(*r, phase, touches, event);
        }
    }

    // Then the views, unless a recognizer took the touch.
    std::vector<ns::Ref<View>> views;
    for (const auto& touch : mine) addUnique(views, touch->view());
    for (const auto& view : views) {
        for (Phase phase : {Phase::Began, Phase::Moved, Phase::Stationary, Phase::Ended, Phase::Cancelled}) {
            TouchSet deliver;
            TouchSet cancel;
            for (const auto& t : mine) {
                if (t->view().get() != view.get() || t->phase() != phase || t->takenFromView_) continue;
                bool taken = false;
                for (const auto& r : t->gestureRecognizers()) {
                    if (r->cancelsTouchesInView() && takesTouches(r->state())) taken = true;
                }
                if (taken) {
                    t->takenFromView_ = true;
                    if (t->viewBegan_) cancel.push_back(t);
                    continue;
                }
                if (phase == Phase::Began) t->viewBegan_ = true;
                deliver.push_back(t);
            }
            if (!cancel.empty()) view->touchesCancelled(cancel, &event);
            if (!deliver.empty()) deliverToView(*view, phase, deliver, event);
        }
    }

    // Touches that are over leave their recognizers, which reset once done.
    for (const auto& touch : mine) {
        if (touch->phase() != Phase::Ended && touch->phase() != Phase::Cancelled) continue;
        for (const auto& r : touch->gestureRecognizers()) {
            r->forgetTouch(touch.get());
            bool finished = r->state() != GestureRecognizerState::Possible;
            if (finished && r->activeTouches().empty() && r->touches_.empty()) r->reset();
        }
    }
}

}  // namespace ui

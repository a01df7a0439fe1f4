#pragma once
// The payment centre's navigation controller: the channel's own, telling
// the centre once when it has left the screen for good, whichever way it
// went (the centre's close, the notice card, a paid order, or the screen it
// was presented over taken down with it). Being covered by a screen
// presented over it does not count. Main thread only.

#include <functional>

#include "channel/screens/TVBaseNav.h"

class TVPayNav : public TVBaseNav {
    RT_DECLARE_CLASS(TVPayNav)
public:
    TVPayNav() = default;
    explicit TVPayNav(const ns::Ref<ui::ViewController>& root) : TVBaseNav(root) {}
    // A controller that is let go without ever leaving the screen (one whose
    // presentation was cut short) has gone too.
    ~TVPayNav() override;

    // Called at most once; replacing it or setting nothing cancels the one
    // before.
    void setWhenGone(std::function<void()> whenGone) { whenGone_ = std::move(whenGone); }
    // Whether it ever began to come on screen.
    bool wasShown() const { return wasShown_; }

    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    void gone();

    std::function<void()> whenGone_;
    bool wasShown_ = false;
};

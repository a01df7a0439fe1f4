#pragma once
// The operator's login notice: a card with the notice text (read-only) and a
// close button that hands the page back to its opener through
// noticeHiddenBlock. Scene "TVNoticeVC" of the storyboard "TVUserShow"; the
// opener sets the text and the closure. Main thread only.

#include <functional>

#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/ViewController.h"

class TVNoticeVC : public ui::ViewController {
    RT_DECLARE_CLASS(TVNoticeVC)
public:
    using HiddenBlock = std::function<void(TVNoticeVC& notice)>;

    void viewDidLoad() override;
    // Calls the closure with this page; nothing without one.
    void doCloseBtnClick();

    const HiddenBlock& noticeHiddenBlock() const { return noticeHiddenBlock_; }
    void setNoticeHiddenBlock(HiddenBlock block) { noticeHiddenBlock_ = std::move(block); }

    // Outlets: the scene's view holds them.
    ns::Weak<ui::TextView> textView;
    ns::Weak<ui::Button> closeBtn;

private:
    HiddenBlock noticeHiddenBlock_;
};

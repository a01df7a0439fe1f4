#pragma once
// The result card shown over the game after a payment attempt: a status
// label and two buttons, back to the game (doCancel, which takes the card
// off first) and on to the companion app (doGo, which leaves the card to
// the block). Both hand the block the error (nil = paid) and the status
// text for the game. Nib "TVPayNoticeView" of the SDK bundle. Main thread
// only.

#include <functional>

#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

class TVPayNoticeView : public ui::View {
    RT_DECLARE_CLASS(TVPayNoticeView)
public:
    using Block = std::function<void(const ns::Ref<ns::Error>& error, const ns::Ref<ns::String>& status)>;
    static constexpr const char* kNibName = "TVPayNoticeView";

    using ui::View::View;

    // With no block, nothing happens and the card stays.
    void doCancel();
    void doGo();

    ns::Ref<ns::Error> payError;
    ns::Ref<ns::String> payStatus;
    Block goToGameBlock, goToApplyBlock;
    // Outlets: the card holds them.
    ns::Weak<ui::Label> statusL;
    ns::Weak<ui::Button> cancelBtn, goBtn;
};

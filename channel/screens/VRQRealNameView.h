#pragma once
// The real-name form: a personal name and an identity-card number sent to
// the server's check; on success the login reply it was given takes the
// verdict (must verify, play-time limit, status), the saved real-name flag
// follows, and the delegate gets the same reply 1.0 s after the toast. A
// player who is not forced to verify may skip. One check is in flight at a
// time, and the form answers its delegate once: after a passed check or a
// skip it tells nothing more. A check that passes is kept (flag and reply)
// whatever happened meanwhile: a skip, the form or its delegate gone. Nib
// "VRQRealNameView" of the SDK bundle. Main thread only.

#include <memory>

#include "channel/TVAccountResults.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/View.h"

class VRQRealNameView;

class VRQRealNameDelegate {
public:
    virtual ~VRQRealNameDelegate() = default;
    // The reply to continue with: the one given, updated after a check that
    // passed; nil when none was given.
    virtual void VRQRealNameViewResponse(VRQRealNameView& view, const ns::Ref<LoginResult>& response) = 0;
};

class VRQRealNameView : public ui::View {
    RT_DECLARE_CLASS(VRQRealNameView)
public:
    static constexpr double kConfirmDelaySeconds = 1.0;

    VRQRealNameView() = default;
    // From the nib, framed (0, 0, 300, 310).
    static ns::Ref<VRQRealNameView> realNameView();

    const ns::Ref<LoginResult>& reponse() const { return reponse_; }
    void setReponse(const ns::Ref<LoginResult>& response);
    std::shared_ptr<VRQRealNameDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<VRQRealNameDelegate>& delegate) { delegate_ = delegate; }

    // Confirm: sends the two entries as typed; the button waits for the
    // answer (a refusal gives it back).
    void btnClick();
    // Skip: the reply unchanged.
    void cancelBtnClick();
    void touchesBegan(const ui::TouchSet& touches, ui::Event* event) override;
    // A reply that forces verification hides skip and widens confirm.
    void layoutSubviews() override;
    // Rounded field frames with a light-grey border, rounded buttons.
    void awakeFromNib();

    // Outlets: the view holds them.
    ns::Weak<ui::TextField> realNameF, userNumberF;
    ns::Weak<ui::View> nameView, numberView;
    ns::Weak<ui::Button> btn, refuseBtn;

private:
    void checkPassed(const ns::Ref<rzResult>& result);
    // A passed check's verdict: the saved flag, and the reply the login
    // goes on with (which hands its status to the game), if any.
    static void keepVerdict(const ns::Ref<rzResult>& result, const ns::Ref<LoginResult>& response);
    // The form's one answer.
    void tell(const std::shared_ptr<VRQRealNameDelegate>& delegate);

    ns::Ref<LoginResult> reponse_;
    std::weak_ptr<VRQRealNameDelegate> delegate_;
    bool checking_ = false;
    bool told_ = false;
};

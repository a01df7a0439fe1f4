#pragma once
// The base of the channel SDK's full screens: a back button that pops the
// screen (or dismisses its navigation controller when it is the root), a
// bold title label or an icon-and-title view in the bar, and keyboard
// handling (return closes the keyboard, a touch outside ends editing).
// Subclasses make their text fields' delegate this controller
// (textFieldDelegate()). Main thread only.

#include <memory>

#include "platform/runtime/Class.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/ViewController.h"

class TVBaseVC : public ui::ViewController, public ui::TextFieldDelegate {
    RT_DECLARE_CLASS(TVBaseVC)
public:
    // The tag of the view SetBarTitleViewWithTitle builds.
    static constexpr int64_t kBarTitleViewTag = 10001;

    void viewDidLoad() override;
    // Builds a new title label each time; setTitle installs it.
    void viewWillAppear(bool animated) override;
    // Fills the title label and makes it the bar's title view; the
    // controller's own title stays as it was. Before the first appearance
    // there is no label, so the bar's title view is only cleared.
    void setTitle(const ns::Ref<ns::String>& title) override;
    using ui::ViewController::setTitle;

    void createLeftItem();
    void hiddenLeftBtn();
    // The back button's action.
    virtual void popAction();
    void hiddenNavBar(bool hidden);
    // A 120 x 30 view (tag 10001) centred in the bar: the image at the left,
    // vertically centred on the title.
    void SetBarTitleViewWithTitle(const ns::Ref<ns::String>& title, const ns::Ref<ui::Image>& image);

    // ---- Text fields ----
    // Return ("\n") closes the keyboard and inserts nothing.
    bool textFieldShouldChangeCharactersInRange(ui::TextField& field, ns::Range range,
                                                const ns::Ref<ns::String>& replacement) override;
    bool textFieldShouldBeginEditing(ui::TextField& field) override;
    std::shared_ptr<ui::TextFieldDelegate> textFieldDelegate();

    void touchesBegan(const ui::TouchSet& touches, ui::Event* event) override;

    const ns::Ref<ui::Label>& titlelable() const { return titlelable_; }

private:
    ns::Ref<ui::Label> titlelable_;
};

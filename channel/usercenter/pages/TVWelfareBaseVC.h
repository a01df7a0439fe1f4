#pragma once
// The gift-pack list: claim rows and code rows. A claim goes to the channel
// server ("Card/receive" in the wire format); its "b" shows as a toast, and
// an accepted claim reloads the list, which brings the pack back as a code
// row. Copying puts the code on the pasteboard and, 0.1 s later, shows how
// to use it.

#include "channel/usercenter/pages/TVGiftCells.h"
#include "channel/usercenter/pages/TVSuListSource.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ViewController.h"

class TVWelfareBaseVC : public ui::ViewController, public TVSuListSource {
    RT_DECLARE_CLASS(TVWelfareBaseVC)
public:
    static constexpr double kTopAllowance = 104;
    static constexpr double kAddedBack = 60;
    static constexpr double kCopyAlertDelay = 0.1;

    void viewDidLoad() override;
    const ns::Ref<ui::TableView>& tableView();

    // The claim of `model` (the button is not used).
    void getGiftCodeWithBtn(ui::Button* button, const ns::Ref<TVSuGiftModel>& model);
    // The code row's copy.
    void copyCode(const ns::Ref<ns::String>& code, const ns::Ref<TVSuGiftModel>& model);

    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

private:
    ns::Ref<ui::TableView> tableView_;
};

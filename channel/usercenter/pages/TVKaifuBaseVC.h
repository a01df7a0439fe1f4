#pragma once
// One list of server openings: opened ("is_display" "1") or opening soon
// ("0"). Its table (300 wide, the height left below a 147-point top) loads
// on first display; rows alternate white and grey.

#include "channel/usercenter/pages/TVSuListSource.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ViewController.h"

class TVKaifuBaseVC : public ui::ViewController, public TVSuListSource {
    RT_DECLARE_CLASS(TVKaifuBaseVC)
public:
    static constexpr double kTopAllowance = 147;

    // Before the view loads.
    void setIs_display(const ns::Ref<ns::String>& value) { is_display_ = value; }
    const ns::Ref<ns::String>& is_display() const { return is_display_; }

    void viewDidLoad() override;
    // Made on first use.
    const ns::Ref<ui::TableView>& tableView();

    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

private:
    ns::Ref<ns::String> is_display_;
    ns::Ref<ui::TableView> tableView_;
};

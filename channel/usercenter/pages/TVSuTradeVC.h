#pragma once
// The trade tab: the recycling entry on top, then the game's listings on
// the operator's market. Any listing opens the game's market in the
// companion app (or its download page).

#include "channel/usercenter/pages/TVSuListSource.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ViewController.h"

class TVSuTradeVC : public ui::ViewController, public TVSuListSource {
    RT_DECLARE_CLASS(TVSuTradeVC)
public:
    static constexpr double kHeadHeight = 82;
    static constexpr double kRowHeight = 125;

    void viewDidLoad() override;
    void initTableView();

    int64_t numberOfSectionsInTableView(ui::TableView& view) override { (void)view; return 2; }
    int64_t numberOfRowsInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    void didSelectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

    // Outlet: the scene's view holds it.
    ns::Weak<ui::TableView> tableView;
};

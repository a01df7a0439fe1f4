#pragma once
// The full message list, slid in over the page area from the home page:
// ten messages a page, pull to refresh, more at the bottom; a message opens
// its detail page over the same area.

#include "channel/usercenter/TVSuChildPage.h"
#include "channel/usercenter/pages/TVSuListSource.h"
#include "platform/runtime/Class.h"

class TVSuHomeMsgVC : public TVSuChildPage, public TVSuListSource {
    RT_DECLARE_CLASS(TVSuHomeMsgVC)
public:
    static constexpr double kRowHeight = 80;

    void viewDidLoad() override;
    void initTableView();
    void goBack();
    void loadWebVcWithUrl(const ns::Ref<ns::String>& url, const char* name);

    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    void didSelectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

    // Outlet: the scene's view holds it.
    ns::Weak<ui::TableView> tableView;
};

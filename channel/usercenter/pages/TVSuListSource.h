#pragma once
// What every list page of the user centre shares: its paged list (the
// counters, rows and requests) and the table set-up around it. A page
// derives from its controller class and from this, sets the list up once and
// forwards the three list operations; rows are the list's rows.

#include <string>
#include <vector>

#include "channel/usercenter/TVSuPagedList.h"
#include "platform/uikit/TableView.h"

class TVSuListSource : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    void loadNewData() { list_->loadNewData(); }
    void loadMoreData() { list_->loadMoreData(); }
    void checkFooterState() { list_->checkFooterState(); }

    const ns::Ref<TVSuPagedList>& list() const { return list_; }
    const TVSuPagedList::Rows& dataSource() const { return list_->dataSource(); }
    uint64_t currentPage() const { return list_->currentPage(); }
    uint64_t totalPage() const { return list_->totalPage(); }

    // One section of rows by default.
    int64_t numberOfRowsInSection(ui::TableView& view, int64_t section) override;

protected:
    // The list's set-up; the table gets the nibs of `cells` (each under its
    // own name), no separators, this as its data source and delegate, and
    // the list's header and footer.
    void setUpList(TVSuPagedList::Setup setup, const ns::Ref<ui::TableView>& table,
                   const std::vector<std::string>& cells, const std::shared_ptr<TVSuListSource>& self);
    // The row at `row`, or nil past the end.
    ns::Ref<TVSuRow> rowAt(int64_t row) const;

    ns::Ref<TVSuPagedList> list_ = TVSuPagedList::make({});
};

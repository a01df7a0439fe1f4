#pragma once
// The login form's drop-down of saved accounts: the three most recent
// [user name, password] pairs of "TV_accounts", newest first, one 42-point
// row each showing the name only (the chooser reads the password from the
// pair). It is its own data source and grows out of its top edge in 0.3 s.
// Main thread only.

#include "platform/foundation/MutableArray.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/TableView.h"

class AccountTableView : public ui::TableView, public ui::TableViewDataSource {
    RT_DECLARE_CLASS(AccountTableView)
public:
    static constexpr double kRowHeight = 42;
    static constexpr size_t kMaxRows = 3;

    AccountTableView() = default;
    // Made, styled and filled: use this, not the constructor.
    static ns::Ref<AccountTableView> make();

    void setFrame(const cg::Rect& frame) override;

    int64_t numberOfRowsInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

    // The rows: [user name, password] pairs.
    const ns::Ref<ns::MutableArray>& dataArray();

private:
    void init();

    ns::Ref<ns::MutableArray> dataArray_;
};

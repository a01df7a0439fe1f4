#pragma once
// A controller whose view is a table view, with the controller as the
// table's data source and delegate when it implements those interfaces.
// Rows selected when the controller next appears are deselected unless
// clearsSelectionOnViewWillAppear is off.
//
// Main thread only.

#include "platform/uikit/TableView.h"
#include "platform/uikit/ViewController.h"

namespace ui {

class TableViewController : public ViewController {
    RT_DECLARE_CLASS(TableViewController)
public:
    TableViewController() = default;
    explicit TableViewController(TableViewStyle style) : style_(style) {}

    // Loads the view.
    ns::Ref<TableView> tableView();
    bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
    void setClearsSelectionOnViewWillAppear(bool on) { clearsSelection_ = on; }

    void loadView() override;
    void viewWillAppear(bool animated) override;

private:
    TableViewStyle style_ = TableViewStyle::Plain;
    bool clearsSelection_ = true;
};

}  // namespace ui

#include "platform/uikit/TableViewController.h"

#include "platform/uikit/Screen.h"

namespace ui {

RT_DEFINE_CLASS(TableViewController, ViewController, "UITableViewController")

ns::Ref<TableView> TableViewController::tableView() { return ns::cast<TableView>(view()); }

void TableViewController::loadView() {
    auto table = TableView::make(Screen::mainScreen()->bounds(), style_);
    table->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    auto self = ref<ViewController>();
    if (auto source = std::dynamic_pointer_cast<TableViewDataSource>(self)) table->setDataSource(source);
    if (auto delegate = std::dynamic_pointer_cast<TableViewDelegate>(self)) table->setDelegate(delegate);
    setView(table);
}

void TableViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (!clearsSelection_) return;
    if (auto table = ns::cast<TableView>(viewIfLoaded())) {
        for (const auto& path : table->indexPathsForSelectedRows()) table->deselectRowAtIndexPath(path, animated);
    }
}

}  // namespace ui

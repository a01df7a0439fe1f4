#include "channel/screens/AccountTableView.h"

#include "platform/foundation/Array.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/Transform3D.h"

RT_DEFINE_CLASS(AccountTableView, ui::TableView, "AccountTableView")

ns::Ref<AccountTableView> AccountTableView::make() {
    auto table = std::make_shared<AccountTableView>();
    table->init();
    return table;
}

void AccountTableView::init() {
    setDataSource(std::shared_ptr<ui::TableViewDataSource>(ref<AccountTableView>()));
    layer()->setAnchorPoint({0.5, 0.0});
    setTransform(cg::AffineTransform::makeScale(0, 0));
    ns::Weak<AccountTableView> weak = ref<AccountTableView>();
    ui::View::animate(0.3, [weak] {
        if (auto table = weak.lock()) table->setTransform(cg::AffineTransform::identity());
    });

    auto saved = ns::UserDefaults::standardUserDefaults()->arrayForKey("TV_accounts");
    size_t count = saved ? saved->count() : 0;
    for (size_t i = 0; i < count && i < kMaxRows; ++i) {
        // Only well-formed pairs make rows: a row shows the first and the
        // chooser reads the last element.
        auto pair = ns::cast<ns::Array>(saved->objectAtIndex(count - 1 - i));
        if (pair && pair->count() >= 2) dataArray()->addObject(pair);
    }
}

void AccountTableView::setFrame(const cg::Rect& frame) {
    ui::TableView::setFrame(frame);
    setRowHeight(kRowHeight);
}

int64_t AccountTableView::numberOfRowsInSection(ui::TableView&, int64_t) {
    return static_cast<int64_t>(dataArray()->count());
}

ns::Ref<ui::TableViewCell> AccountTableView::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    auto cell = view.dequeueReusableCellWithIdentifier("accountCell");
    if (!cell) cell = ui::TableViewCell::make(ui::TableViewCellStyle::Default, "accountCell");
    cell->setBackgroundColor(cg::Color::clear());
    auto pair = ns::cast<ns::Array>(dataArray()->objectAtIndex(static_cast<uint64_t>(path.row)));
    cell->textLabel()->setText(ns::cast<ns::String>(pair->objectAtIndex(0)));
    return cell;
}

const ns::Ref<ns::MutableArray>& AccountTableView::dataArray() {
    if (!dataArray_) dataArray_ = ns::MutableArray::make();
    return dataArray_;
}

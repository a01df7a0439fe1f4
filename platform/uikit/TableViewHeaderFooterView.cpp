#include "platform/uikit/TableViewHeaderFooterView.h"

#include <algorithm>

#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"

namespace ui {

RT_DEFINE_CLASS(TableViewHeaderFooterView, View, "UITableViewHeaderFooterView")

TableViewHeaderFooterView::TableViewHeaderFooterView() : TableViewHeaderFooterView(std::string()) {}

TableViewHeaderFooterView::TableViewHeaderFooterView(std::string reuseIdentifier)
    : reuseIdentifier_(std::move(reuseIdentifier)) {
    contentView_ = View::make(bounds());
    contentView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

const ns::Ref<Label>& TableViewHeaderFooterView::textLabel() {
    if (!textLabel_) {
        textLabel_ = Label::make();
        textLabel_->setFont(Font::systemFontOfSize(13));
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

void TableViewHeaderFooterView::layoutSubviews() {
    View::layoutSubviews();
    contentView_->setFrame(bounds());
    if (textLabel_) {
        cg::Size size = bounds().size;
        textLabel_->setFrame({16, 0, std::max(0.0, size.width - 32), size.height});
    }
}

}  // namespace ui

#include "platform/uikit/TableViewCell.h"

#include <algorithm>

#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

namespace ui {

RT_DEFINE_CLASS(TableViewCell, View, "UITableViewCell")

TableViewCell::TableViewCell() : TableViewCell(TableViewCellStyle::Default, {}) {}

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : View(cg::Rect{0, 0, 320, 44}), style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
    contentView_ = View::make(bounds());
    contentView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

ns::Ref<TableViewCell> TableViewCell::make(TableViewCellStyle style, std::string reuseIdentifier) {
    return std::make_shared<TableViewCell>(style, std::move(reuseIdentifier));
}

// ---- Content ----

const ns::Ref<Label>& TableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = Label::make();
        textLabel_->setFont(style_ == TableViewCellStyle::Value2 ? Font::boldSystemFontOfSize(12)
                                                                 : Font::systemFontOfSize(17));
        if (style_ == TableViewCellStyle::Value2) textLabel_->setTextAlignment(TextAlignment::Right);
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

ns::Ref<Label> TableViewCell::detailTextLabel() {
    if (style_ == TableViewCellStyle::Default) return nullptr;
    if (!detailTextLabel_) {
        detailTextLabel_ = Label::make();
        if (style_ == TableViewCellStyle::Value1) {
            detailTextLabel_->setFont(Font::systemFontOfSize(17));
            detailTextLabel_->setTextColor(grayColor());
            detailTextLabel_->setTextAlignment(TextAlignment::Right);
        } else {
            detailTextLabel_->setFont(Font::systemFontOfSize(12));
        }
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

const ns::Ref<ImageView>& TableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = ImageView::make();
        contentView_->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType type) {
    accessoryType_ = type;
    setNeedsLayout();
}

void TableViewCell::setAccessoryView(const ns::Ref<View>& view) {
    if (accessoryView_ == view) return;
    if (accessoryView_ && accessoryView_->superview().get() == this) accessoryView_->removeFromSuperview();
    accessoryView_ = view;
    if (view) addSubview(view);
    setNeedsLayout();
}

void TableViewCell::setBackgroundView(const ns::Ref<View>& view) { backgrounds_.setBackgroundView(*this, view); }

void TableViewCell::setSelectedBackgroundView(const ns::Ref<View>& view) {
    backgrounds_.setSelectedBackgroundView(*this, view, showsSelectedBackground());
}

// ---- States ----

void TableViewCell::setSelected(bool selected, bool) {
    selected_ = selected;
    backgrounds_.showSelected(*this, showsSelectedBackground());
}

void TableViewCell::setHighlighted(bool highlighted, bool) {
    highlighted_ = highlighted;
    backgrounds_.showSelected(*this, showsSelectedBackground());
}

bool TableViewCell::showsSelectedBackground() const {
    return (selected_ || highlighted_) && selectionStyle_ != TableViewCellSelectionStyle::None;
}

void TableViewCell::prepareForReuse() {
    setSelected(false, false);
    setHighlighted(false, false);
}

// ---- Layout ----

void TableViewCell::layoutSubviews() {
    View::layoutSubviews();
    backgrounds_.layout(*this);
    cg::Rect b = bounds();

    double accessory = 0;
    if (accessoryView_) {
        cg::Size size = accessoryView_->frame().size;
        accessoryView_->setFrame({b.width() - Margin - size.width, (b.height() - size.height) / 2, size.width,
                                  size.height});
        accessory = size.width + Margin;
    } else if (accessoryType_ != TableViewCellAccessoryType::None) {
        accessory = AccessoryTypeWidth;
    }
    contentView_->setFrame({0, 0, std::max(0.0, b.width() - accessory), b.height()});
    cg::Size content = contentView_->bounds().size;

    double x = Margin;
    if (imageView_ && imageView_->image()) {
        cg::Size size = imageView_->image()->size();
        imageView_->setFrame({Margin, (content.height - size.height) / 2, size.width, size.height});
        x = Margin + size.width + Margin;
    }
    double right = content.width - Margin;
    double width = std::max(0.0, right - x);
    switch (style_) {
        case TableViewCellStyle::Default:
            if (textLabel_) textLabel_->setFrame({x, 0, width, content.height});
            break;
        case TableViewCellStyle::Subtitle: {
            double textHeight = textLabel_ ? textLabel_->font()->lineHeight() : 0;
            double detailHeight = detailTextLabel_ ? detailTextLabel_->font()->lineHeight() : 0;
            double top = (content.height - textHeight - detailHeight) / 2;
            if (textLabel_) textLabel_->setFrame({x, top, width, textHeight});
            if (detailTextLabel_) detailTextLabel_->setFrame({x, top + textHeight, width, detailHeight});
            break;
        }
        case TableViewCellStyle::Value1: {
            double textWidth = 0;
            if (textLabel_) {
                textWidth = std::min(width, textLabel_->sizeThatFits({width, content.height}).width);
                textLabel_->setFrame({x, 0, textWidth, content.height});
            }
            if (detailTextLabel_) {
                double detailWidth =
                    std::min(std::max(0.0, width - textWidth), detailTextLabel_->sizeThatFits({width, content.height}).width);
                detailTextLabel_->setFrame({right - detailWidth, 0, detailWidth, content.height});
            }
            break;
        }
        case TableViewCellStyle::Value2: {
            double textWidth = std::min(67.0, width);
            if (textLabel_) textLabel_->setFrame({x, 0, textWidth, content.height});
            if (detailTextLabel_) {
                double detailX = x + textWidth + 6;
                detailTextLabel_->setFrame({detailX, 0, std::max(0.0, right - detailX), content.height});
            }
            break;
        }
    }
}

}  // namespace ui

#pragma once
// Section headers and footers of table views: a content view and a text
// label 16 points in from the left, over the full height. Tables make one
// for a section title the delegate gives no view for.
//
// Main thread only.

#include <string>

#include "platform/uikit/View.h"

namespace ui {

class Label;

class TableViewHeaderFooterView : public View {
    RT_DECLARE_CLASS(TableViewHeaderFooterView)
public:
    TableViewHeaderFooterView();
    explicit TableViewHeaderFooterView(std::string reuseIdentifier);

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
    const ns::Ref<View>& contentView() const { return contentView_; }
    const ns::Ref<Label>& textLabel();
    virtual void prepareForReuse() {}

    void layoutSubviews() override;

private:
    std::string reuseIdentifier_;
    ns::Ref<View> contentView_;
    ns::Ref<Label> textLabel_;
};

}  // namespace ui

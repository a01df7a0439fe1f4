#pragma once
// The message rows: the home page's short row (nib "TVSuHomeCell": tag and
// title) and the message list's row (nib "TVSuHomeMsgCell": tag, title,
// time and a picture column that collapses when there is no picture).

#include "channel/usercenter/pages/TVSuHomeMsgModel.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/TableViewCell.h"

class TVSuHomeCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVSuHomeCell)
public:
    static constexpr const char* kIdentifier = "TVSuHomeCell";
    TVSuHomeCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}

    const ns::Ref<TVSuHomeMsgModel>& model() const { return model_; }
    void setModel(const ns::Ref<TVSuHomeMsgModel>& model);

    ns::Weak<ui::Label> tagL, contentL;

private:
    ns::Ref<TVSuHomeMsgModel> model_;
};

class TVSuHomeMsgCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVSuHomeMsgCell)
public:
    static constexpr const char* kIdentifier = "TVSuHomeMsgCell";
    static constexpr double kPictureWidth = 70;
    TVSuHomeMsgCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}

    const ns::Ref<TVSuHomeMsgModel>& model() const { return model_; }
    void setModel(const ns::Ref<TVSuHomeMsgModel>& model);

    ns::Weak<ui::Label> tagL, contentL, timeL;
    ns::Weak<ui::ImageView> iconView;
    ns::Weak<ui::LayoutConstraint> imageW;

private:
    ns::Ref<TVSuHomeMsgModel> model_;
};

#pragma once
// A server opening: its row model (name, day, hour; the row is as high as
// the wrapped name plus 20) and its cell (nib "TVKaifuCell").

#include "channel/usercenter/TVSuRow.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"

class TVSuKaifuModel : public TVSuRow {
    RT_DECLARE_CLASS(TVSuKaifuModel)
public:
    Text servername() const { return text("servername"); }
    Text day() const { return text("day"); }
    Text hour() const { return text("hour"); }
    // The name in the 14-point system font at width 100, plus 20; measured once.
    double height();
};

class TVKaifuCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVKaifuCell)
public:
    static constexpr const char* kIdentifier = "TVKaifuCell";
    TVKaifuCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}

    const ns::Ref<TVSuKaifuModel>& model() const { return model_; }
    void setModel(const ns::Ref<TVSuKaifuModel>& model);

    ns::Weak<ui::Label> dayL, timeL, serverL;

private:
    ns::Ref<TVSuKaifuModel> model_;
};

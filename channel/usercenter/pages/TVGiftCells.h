#pragma once
// A gift pack: its row model (every field as sent; the claim row and the
// code row each keep their height once measured) and its two cells: the
// claim row (nib "TVGetGiftCell": what is left, how many claimed, the claim
// button) and the code row (nib "TVCopyGiftCell": the code and a copy
// button). A pack with a non-empty code is a code row.

#include <functional>

#include "channel/usercenter/TVSuRow.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"

class TVSuGiftModel : public TVSuRow {
    RT_DECLARE_CLASS(TVSuGiftModel)
public:
    Text ID() const { return text("ID"); }
    Text name() const { return text("name"); }
    Text excerpt() const { return text("excerpt"); }
    Text getstatus() const { return text("getstatus"); }
    Text code() const { return text("code"); }
    Text part_num() const { return text("part_num"); }
    Text percentage() const { return text("percentage"); }
    Text instructions() const { return text("instructions"); }
    bool hasCode() const { return !isEmpty("code"); }

    // The excerpt's height in the 12-point system font at width 205, plus
    // 99 (claim row) or 84.5 (code row).
    double getCodeH();
    double copyH();

private:
    double excerptHeight() const;
};

class TVGetGiftCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVGetGiftCell)
public:
    static constexpr const char* kIdentifier = "TVGetGiftCell";
    static constexpr double kBarWidth = 150;
    using GetCodeBlock = std::function<void(ui::Button& button)>;
    TVGetGiftCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}

    const ns::Ref<TVSuGiftModel>& model() const { return model_; }
    void setModel(const ns::Ref<TVSuGiftModel>& model);
    void setGetCodeBlock(GetCodeBlock block) { getCodeBlock_ = std::move(block); }
    void btnClick(ui::Button& button);

    ns::Weak<ui::Label> typeL, contentL, countL, residueL;
    ns::Weak<ui::View> lineView;
    ns::Weak<ui::Button> getBtn;

private:
    ns::Ref<TVSuGiftModel> model_;
    GetCodeBlock getCodeBlock_;
};

class TVCopyGiftCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVCopyGiftCell)
public:
    static constexpr const char* kIdentifier = "TVCopyGiftCell";
    using CopyBlock = std::function<void(const ns::Ref<ns::String>& code)>;
    TVCopyGiftCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}

    const ns::Ref<TVSuGiftModel>& model() const { return model_; }
    void setModel(const ns::Ref<TVSuGiftModel>& model);
    void setCopyBlock(CopyBlock block) { copyBlock_ = std::move(block); }
    void copyBtnClick();

    ns::Weak<ui::Label> typeL, codeL, contentL;

private:
    ns::Ref<TVSuGiftModel> model_;
    CopyBlock copyBlock_;
};

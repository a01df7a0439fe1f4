#include "channel/usercenter/pages/TVGiftCells.h"

#include "channel/usercenter/UIView+LabelHeight.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuGiftModel, TVSuRow, "TVSuGiftModel")
RT_DEFINE_CLASS(TVGetGiftCell, ui::TableViewCell, "TVGetGiftCell")
RT_DEFINE_CLASS(TVCopyGiftCell, ui::TableViewCell, "TVCopyGiftCell")

namespace {

constexpr double kExcerptWidth = 205;
const cg::Color kLightGrey = cg::Color::fromWhite(2.0 / 3);


// The title, the excerpt (wrapping) below it, and a button on the right.
template <class Cell>
ns::Ref<Cell> giftCell(double height, const char* title, ns::Ref<ui::Button>& button) {
    auto cell = std::make_shared<Cell>();
    cell->setFrame({0, 0, 300, height});
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    cell->typeL = TVSuPageScenes::label(*content, {15, 12, 205, 20}, 15, cg::Color::fromWhite(0.2));
    auto excerpt = TVSuPageScenes::label(*content, {15, 38, kExcerptWidth, 16}, 12, cg::Color::fromWhite(0.5));
    excerpt->setNumberOfLines(0);
    excerpt->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    cell->contentL = excerpt;
    button = ui::Button::make({228, 20, 60, 28});
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(TVSuPageScenes::kOrange, ui::ControlStateNormal);
    button->setTitleColor(kLightGrey, ui::ControlStateDisabled);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(13));
    button->layer()->setBorderWidth(1);
    button->layer()->setBorderColor(TVSuPageScenes::kOrange);
    button->layer()->setCornerRadius(14);
    content->addSubview(button);
    return cell;
}

}  // namespace

double TVSuGiftModel::excerptHeight() const {
    return LabelHeight::getLabelHeightByWidth(kExcerptWidth, excerpt(), ui::Font::systemFontOfSize(12));
}

double TVSuGiftModel::getCodeH() {
    return cachedHeight("getCodeH", [this] { return excerptHeight() + 99; });
}

double TVSuGiftModel::copyH() {
    return cachedHeight("copyH", [this] { return excerptHeight() + 84.5; });
}

// Below the excerpt: the remaining-share bar on its track, what is left and
// how many have claimed.
UI_NIB("TVGetGiftCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    ns::Ref<ui::Button> button;
    auto cell = giftCell<TVGetGiftCell>(115, "领取", button);
    auto content = cell->contentView();
    auto track = ui::View::make({15, 80, TVGetGiftCell::kBarWidth, 4});
    track->setBackgroundColor(cg::Color::fromWhite(0.9));
    track->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin);
    content->addSubview(track);
    auto bar = ui::View::make({15, 80, TVGetGiftCell::kBarWidth, 4});
    bar->setBackgroundColor(TVSuPageScenes::kOrange);
    bar->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin);
    content->addSubview(bar);
    cell->lineView = bar;
    cell->residueL = TVSuPageScenes::label(*content, {170, 74, 70, 16}, 11, TVSuPageScenes::kOrange);
    cell->countL = TVSuPageScenes::label(*content, {15, 90, 200, 16}, 11, cg::Color::fromWhite(0.5));
    for (auto& l : {cell->residueL.lock(), cell->countL.lock()}) l->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin);
    ns::Weak<TVGetGiftCell> weak = cell;
    button->addTarget(nullptr, "btnClick:", [weak](ui::Control& sender, ui::Event*) {
        auto c = weak.lock();
        if (auto b = dynamic_cast<ui::Button*>(&sender); c && b) c->btnClick(*b);
    }, ui::ControlEventTouchUpInside);
    cell->getBtn = button;
    return {cell};
})

UI_NIB("TVCopyGiftCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    ns::Ref<ui::Button> button;
    auto cell = giftCell<TVCopyGiftCell>(100, "复制", button);
    auto code = TVSuPageScenes::label(*cell->contentView(), {15, 66, 205, 18}, 13, TVSuPageScenes::kOrange);
    code->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin);
    cell->codeL = code;
    ns::Weak<TVCopyGiftCell> weak = cell;
    button->addTarget(nullptr, "copyBtnClick:", [weak](ui::Control&, ui::Event*) {
        if (auto c = weak.lock()) c->copyBtnClick();
    }, ui::ControlEventTouchUpInside);
    return {cell};
})

void TVGetGiftCell::setModel(const ns::Ref<TVSuGiftModel>& model) {
    model_ = model;
    if (!model) return;
    if (auto button = getBtn.lock()) {
        if (model->format("getstatus") == "1") {
            button->setEnabled(false);
            button->setTitle("已领取", ui::ControlStateDisabled);
            button->layer()->setBorderColor(kLightGrey);
        } else if (model->format("percentage") == "0") {
            button->setEnabled(false);
            button->setTitle("已抢完", ui::ControlStateDisabled);
            button->layer()->setBorderColor(kLightGrey);
        } else {
            button->setEnabled(true);
            button->layer()->setBorderColor(TVSuPageScenes::kOrange);
        }
    }
    if (auto l = typeL.lock()) l->setText(model->name());
    if (auto l = contentL.lock()) l->setText(model->excerpt());
    if (auto bar = lineView.lock()) {
        auto percentage = model->percentage();
        double share = percentage ? percentage->floatValue() : 0;
        cg::Rect frame = bar->frame();
        frame.size.width = share * kBarWidth / 100;
        bar->setFrame(frame);
    }
    if (auto l = residueL.lock()) l->setText("剩余:" + model->format("percentage") + "%");
    if (auto l = countL.lock()) l->setText("已有" + model->format("part_num") + "人领取");
}

void TVGetGiftCell::btnClick(ui::Button& button) {
    if (getCodeBlock_) getCodeBlock_(button);
}

void TVCopyGiftCell::setModel(const ns::Ref<TVSuGiftModel>& model) {
    model_ = model;
    if (!model) return;
    if (auto l = typeL.lock()) l->setText(model->name());
    if (auto l = codeL.lock()) l->setText(model->code());
    if (auto l = contentL.lock()) l->setText(model->excerpt());
}

void TVCopyGiftCell::copyBtnClick() {
    if (copyBlock_ && model_) copyBlock_(model_->code());
}

#include "channel/usercenter/pages/TVKaifuCell.h"

#include "channel/usercenter/UIView+LabelHeight.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuKaifuModel, TVSuRow, "TVSuKaifuModel")
RT_DEFINE_CLASS(TVKaifuCell, ui::TableViewCell, "TVKaifuCell")

double TVSuKaifuModel::height() {
    return cachedHeight("height", [this] {
        return LabelHeight::getLabelHeightByWidth(100, servername(), ui::Font::systemFontOfSize(14)) + 20;
    });
}

// Day, time and the server's name (wrapping, 100 pt wide) across the row.
UI_NIB("TVKaifuCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<TVKaifuCell>();
    cell->setFrame({0, 0, 300, 40});
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    auto label = [&](const cg::Rect& frame) {
        auto l = ui::Label::make(frame);
        l->setFont(ui::Font::systemFontOfSize(14));
        l->setTextColor(cg::Color::fromWhite(0.3));
        l->setTextAlignment(ui::TextAlignment::Center);
        l->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
        content->addSubview(l);
        return l;
    };
    cell->dayL = label({10, 0, 80, 40});
    cell->timeL = label({95, 0, 80, 40});
    auto server = label({185, 10, 100, 20});
    server->setNumberOfLines(0);
    cell->serverL = server;
    return {cell};
})

void TVKaifuCell::setModel(const ns::Ref<TVSuKaifuModel>& model) {
    model_ = model;
    if (!model) return;
    if (auto l = dayL.lock()) l->setText(model->day());
    if (auto l = timeL.lock()) l->setText(model->hour());
    if (auto l = serverL.lock()) l->setText(model->servername());
}

#include "channel/usercenter/pages/TVTradeCells.h"

#include "channel/TVAPIStrings.h"
#include "channel/TVCompanionApp.h"
#include "channel/screens/TVScreenResources.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "image/web/UIImageView+TVWebImage.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuTradeModel, TVSuRow, "TVSuTradeModel")
RT_DEFINE_CLASS(TVTradeCell, ui::TableViewCell, "TVTradeCell")
RT_DEFINE_CLASS(TVSuTradeHeadCell, ui::TableViewCell, "TVSuTradeHeadCell")

// The picture on the left; beside it the title, game and server, the
// platform marks (the Android mark at 10, the iOS mark `iosIconLeft` from the
// marks' leading edge) and the time; the price on the right.
UI_NIB("TVTradeCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<TVTradeCell>();
    cell->setFrame({0, 0, 300, 125});
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    auto icon = ui::ImageView::make({10, 15, 80, 80});
    icon->setImage(TVScreenResources::image("TV_suTrade_placeholder.png"));
    content->addSubview(icon);
    cell->gameIcon = icon;
    const cg::Color dark = cg::Color::fromWhite(0.2), grey = cg::Color::fromWhite(0.5);
    cell->titleL = TVSuPageScenes::label(*content, {100, 12, 190, 20}, 14, dark);
    cell->nameL = TVSuPageScenes::label(*content, {100, 36, 130, 18}, 12, grey);
    cell->serverL = TVSuPageScenes::label(*content, {100, 56, 130, 18}, 12, grey);
    cell->moneyL = TVSuPageScenes::label(*content, {230, 36, 60, 20}, 15, TVSuPageScenes::kOrange);
    cell->timeL = TVSuPageScenes::label(*content, {100, 100, 190, 16}, 11, grey);

    auto marks = ui::View::make({90, 76, 80, 18});
    content->addSubview(marks);
    auto android = ui::ImageView::make({10, 0, 16, 16});
    android->setImage(TVScreenResources::image("TV_suTrade_android.png"));
    marks->addSubview(android);
    auto ios = ui::ImageView::make({30, 0, 16, 16});
    ios->setImage(TVScreenResources::image("TV_suTrade_ios.png"));
    marks->addSubview(ios);
    ios->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto left = ios->leadingAnchor()->constraintEqualToAnchor(marks->leadingAnchor(), 30);
    ui::LayoutConstraint::activateConstraints({
        left,
        ios->topAnchor()->constraintEqualToAnchor(marks->topAnchor()),
        ios->widthAnchor()->constraintEqualToConstant(16),
        ios->heightAnchor()->constraintEqualToConstant(16),
    });
    cell->anIcon = android;
    cell->iosIcon = ios;
    cell->iosIconLeft = left;
    return {cell};
})

// The recycling banner: a line of text and its button.
UI_NIB("TVSuTradeHeadCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<TVSuTradeHeadCell>();
    cell->setFrame({0, 0, 300, 82});
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    auto text = TVSuPageScenes::label(*content, {15, 16, 180, 20}, 15, cg::Color::fromWhite(0.2));
    text->setText("小号回收");
    auto hint = TVSuPageScenes::label(*content, {15, 42, 180, 18}, 12, cg::Color::fromWhite(0.5));
    hint->setText("不玩的小号可回收换平台币");
    ns::Weak<TVSuTradeHeadCell> weak = cell;
    auto button = TVSuPageScenes::actionButton({205, 24, 80, 32}, "去回收", "btnClick", [weak] {
        if (auto c = weak.lock()) c->btnClick();
    });
    content->addSubview(button);
    return {cell};
})

void TVTradeCell::setModel(const ns::Ref<TVSuTradeModel>& model) {
    model_ = model;
    if (!model) return;
    // A listing without a picture keeps what the cell showed.
    if (!model->isEmpty("pic1"))
        if (auto icon = gameIcon.lock()) setTV_imageURL(*icon, TVWebImageURL(model->format("pic1")));
    if (auto l = timeL.lock()) l->setText("上架时间：" + model->format("time"));
    if (auto l = moneyL.lock()) l->setText("\u00a5" + model->format("prices"));
    if (auto l = nameL.lock()) l->setText(model->gamename());
    if (auto l = serverL.lock()) l->setText("区服：" + model->format("server"));
    if (auto l = titleL.lock()) l->setText(model->title());
    // An absent or null platform reads as 0, like any text that is no number.
    auto type = model->devicetype();
    int64_t code = type ? type->integerValue() : 0;
    auto android = anIcon.lock();
    auto ios = iosIcon.lock();
    if (!android || !ios || code < 0 || code > 2) return;
    android->setHidden(code == 1);
    ios->setHidden(code == 0);
    setNeedsLayout();
}

void TVTradeCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    if (auto left = iosIconLeft.lock()) left->setConstant(model_ && model_->format("devicetype") == "1" ? 10 : 30);
}

void TVSuTradeHeadCell::btnClick() {
    ns::log("进入小号回收");
    TVCompanionApp::open(TVAPIStrings::at(TVAPIStrings::RecycleKey));
}

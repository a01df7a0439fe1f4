#include "channel/usercenter/pages/TVSuHomeMsgCells.h"

#include "channel/screens/TVScreenResources.h"
#include "image/web/UIImageView+TVWebImage.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuHomeCell, ui::TableViewCell, "TVSuHomeCell")
RT_DEFINE_CLASS(TVSuHomeMsgCell, ui::TableViewCell, "TVSuHomeMsgCell")

namespace {

// The small white-on-colour tag at the start of a row.
ns::Ref<ui::Label> tagLabel(ui::View& content, const cg::Rect& frame) {
    auto tag = ui::Label::make(frame);
    tag->setFont(ui::Font::systemFontOfSize(11));
    tag->setTextColor(cg::Color::white());
    tag->setTextAlignment(ui::TextAlignment::Center);
    content.addSubview(tag);
    return tag;
}

}  // namespace

UI_NIB("TVSuHomeCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<TVSuHomeCell>();
    cell->setFrame({0, 0, 300, 40});
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    cell->tagL = tagLabel(*content, {15, 11, 36, 18});
    auto title = ui::Label::make({58, 0, 227, 40});
    title->setFont(ui::Font::systemFontOfSize(13));
    title->setTextColor(cg::Color::fromWhite(0.2));
    content->addSubview(title);
    cell->contentL = title;
    return {cell};
})

// The tag over the start of the title (the title's leading spaces leave it
// room), the time below, the picture on the right in a column `imageW` wide.
UI_NIB("TVSuHomeMsgCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<TVSuHomeMsgCell>();
    cell->setFrame({0, 0, 300, 80});
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    auto icon = ui::ImageView::make({215, 10, TVSuHomeMsgCell::kPictureWidth, 60});
    icon->setImage(TVScreenResources::image("TV_suTrade_placeholder.png"));
    content->addSubview(icon);
    auto title = ui::Label::make({15, 10, 190, 40});
    title->setFont(ui::Font::systemFontOfSize(14));
    title->setTextColor(cg::Color::fromWhite(0.2));
    title->setNumberOfLines(2);
    content->addSubview(title);
    cell->tagL = tagLabel(*content, {15, 12, 36, 16});
    auto time = ui::Label::make({15, 56, 190, 16});
    time->setFont(ui::Font::systemFontOfSize(11));
    time->setTextColor(cg::Color::fromWhite(0.5));
    content->addSubview(time);
    icon->setTranslatesAutoresizingMaskIntoConstraints(false);
    title->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto width = icon->widthAnchor()->constraintEqualToConstant(TVSuHomeMsgCell::kPictureWidth);
    ui::LayoutConstraint::activateConstraints({
        width,
        icon->trailingAnchor()->constraintEqualToAnchor(content->trailingAnchor(), -15),
        icon->topAnchor()->constraintEqualToAnchor(content->topAnchor(), 10),
        icon->heightAnchor()->constraintEqualToConstant(60),
        title->leadingAnchor()->constraintEqualToAnchor(content->leadingAnchor(), 15),
        title->trailingAnchor()->constraintEqualToAnchor(icon->leadingAnchor(), -10),
        title->topAnchor()->constraintEqualToAnchor(content->topAnchor(), 10),
        title->heightAnchor()->constraintEqualToConstant(40),
    });
    cell->contentL = title;
    cell->timeL = time;
    cell->iconView = icon;
    cell->imageW = width;
    return {cell};
})

void TVSuHomeCell::setModel(const ns::Ref<TVSuHomeMsgModel>& model) {
    model_ = model;
    if (!model) return;
    if (auto tag = tagL.lock()) {
        tag->setText(model->tag());
        tag->setBackgroundColor(model->tagColor());
    }
    if (auto title = contentL.lock()) title->setText(model->post_title());
}

void TVSuHomeMsgCell::setModel(const ns::Ref<TVSuHomeMsgModel>& model) {
    model_ = model;
    if (!model) return;
    if (auto tag = tagL.lock()) {
        tag->setText(model->tag());
        tag->setBackgroundColor(model->tagColor());
    }
    bool picture = !model->isEmpty("pic");
    if (auto width = imageW.lock()) width->setConstant(picture ? kPictureWidth : 0);
    if (auto icon = iconView.lock()) {
        icon->setHidden(!picture);
        if (picture) setTV_imageURL(*icon, TVWebImageURL(model->format("pic")));
    }
    if (auto title = contentL.lock()) title->setText("           " + model->format("post_title"));
    if (auto time = timeL.lock()) time->setText(model->time());
}

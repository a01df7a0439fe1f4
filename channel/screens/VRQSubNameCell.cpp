#include "channel/screens/VRQSubNameCell.h"

#include "platform/uikit/Font.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(VRQSubNameCell, ui::TableViewCell, "VRQSubNameCell")

// The nickname across the row, 15 points in from each side.
UI_NIB("VRQSubNameCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<VRQSubNameCell>();
    cell->setFrame({0, 0, 320, 50});
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    auto name = ui::Label::make({15, 0, 290, 50});
    name->setFont(ui::Font::systemFontOfSize(16));
    name->setTextColor(cg::Color::fromWhite(0.2));
    name->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    content->addSubview(name);
    cell->nickNameL = name;
    return {cell};
})

void VRQSubNameCell::setModel(const ns::Ref<VRQSubNameModel>& model) {
    model_ = model;
    if (auto label = nickNameL.lock()) label->setText(model ? model->nickname : nullptr);
}

#include "aggregation/welfare/KVTRWelfareSupport.h"

#include "platform/foundation/Text.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"

namespace kvtr_welfare {

ns::Ref<ns::String> prizeText(const ns::Ref<ns::String>& name, const ns::Ref<ns::String>& amount) {
    return ns::String::make(ns::format("%@*%@", name, amount));
}

cg::Size measuredSize(const ns::Ref<ns::String>& text, const ns::Ref<ui::Font>& font, double maxWidth) {
    ui::TextAttributes attributes;
    attributes[ui::FontAttributeName] = font;
    return ui::boundingRectWithSize(ns::textOf(text), {maxWidth, 1e7}, ui::StringDrawingUsesLineFragmentOrigin,
                                    attributes)
        .size;
}

ns::Ref<ui::Label> makeTip(const ns::Ref<ns::String>& name, cg::Point origin) {
    auto tip = ui::Label::make();
    tip->setTransform(cg::AffineTransform::identity());
    tip->setTextColor(ui::whiteColor());
    tip->setFont(ui::Font::systemFontOfSize(10));
    tip->layer()->setMasksToBounds(true);
    tip->layer()->setCornerRadius(4);
    tip->setTextAlignment(ui::TextAlignment::Center);
    tip->setBackgroundColor(ui::colorWithWhite(0, 0.5));
    tip->setText(name);
    tip->sizeToFit();
    const cg::Size fitted = tip->bounds().size;
    tip->setFrame({origin.x, origin.y, fitted.width + 10, fitted.height + 5});
    return tip;
}

void removeTips(const std::vector<ns::Ref<ui::Label>>& tips) {
    for (const auto& tip : tips) tip->removeFromSuperview();
}

}  // namespace kvtr_welfare

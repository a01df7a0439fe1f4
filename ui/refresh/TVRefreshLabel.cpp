#include "ui/refresh/TVRefreshLabel.h"

#include <limits>

#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Font.h"

ns::Ref<ui::Label> TV_label() {
    auto label = ui::Label::make();
    label->setFont(ui::Font::boldSystemFontOfSize(14));
    double grey = 90.0 / 255.0;
    label->setTextColor(cg::Color{grey, grey, grey, 1.0});
    label->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setBackgroundColor(cg::Color::clear());
    return label;
}

double TV_textWith(const ui::Label& label) {
    const auto& text = label.text();
    if (!text || text->utf8().empty()) return 0;
    double most = std::numeric_limits<float>::max();
    ui::TextAttributes attributes = {{ui::FontAttributeName, label.font()}};
    return ui::boundingRectWithSize(text->utf8(), {most, most}, ui::StringDrawingUsesLineFragmentOrigin, attributes)
        .size.width;
}

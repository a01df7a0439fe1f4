#include "platform/uikit/Font.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "platform/graphics/TextMetrics.h"

namespace ui {

RT_DEFINE_CLASS(Font, ns::Object, "UIFont")

ns::Ref<Font> Font::systemFontOfSize(double size) { return std::make_shared<Font>(SystemFontName, size); }

ns::Ref<Font> Font::boldSystemFontOfSize(double size) { return std::make_shared<Font>(BoldSystemFontName, size); }

ns::Ref<Font> Font::fontWithName(std::string name, double size) {
    if (name.empty()) return nullptr;
    return std::make_shared<Font>(std::move(name), size);
}

ns::Ref<Font> Font::preferredFontForTextStyle(std::string_view style) {
    static const std::map<std::string_view, double> sizes = {
        {FontTextStyleLargeTitle, 34}, {FontTextStyleTitle1, 28},    {FontTextStyleTitle2, 22},
        {FontTextStyleTitle3, 20},     {FontTextStyleHeadline, 17},  {FontTextStyleBody, 17},
        {FontTextStyleCallout, 16},    {FontTextStyleSubheadline, 15}, {FontTextStyleFootnote, 13},
        {FontTextStyleCaption1, 12},   {FontTextStyleCaption2, 11},
    };
    auto it = sizes.find(style);
    if (it == sizes.end()) return systemFontOfSize(17);
    if (style == FontTextStyleHeadline) return std::make_shared<Font>(SemiboldSystemFontName, it->second);
    return systemFontOfSize(it->second);
}

bool Font::isBold() const {
    return name_.find("Bold") != std::string::npos || name_.find("Semibold") != std::string::npos;
}

double Font::lineHeight() const { return cg::TextMetrics::lineHeight(pointSize_); }

ns::Ref<Font> Font::fontWithSize(double size) const { return std::make_shared<Font>(name_, size); }

cg::Size Font::sizeOfText(std::string_view text, double maxWidth, int maxLines) const {
    return cg::TextMetrics::boundingSize(text, pointSize_, maxWidth, maxLines);
}

std::string Font::description() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", pointSize_);
    return "<UIFont: " + name_ + " " + buf + "pt>";
}

uint64_t Font::hash() const { return std::hash<std::string>()(name_) ^ std::hash<double>()(pointSize_); }

bool Font::isEqual(const ns::Object* other) const {
    auto f = dynamic_cast<const Font*>(other);
    return f && f->name_ == name_ && f->pointSize_ == pointSize_;
}

}  // namespace ui

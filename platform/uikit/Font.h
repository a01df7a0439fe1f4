#pragma once
// Fonts: a face name and a point size. Nothing is rendered, so every face
// measures text by the one text-metrics model (cg::TextMetrics); the face only
// tells bold from regular for whoever draws.

#include <string>
#include <string_view>

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Class.h"

namespace ui {

// The platform's text-style names.
inline constexpr const char* FontTextStyleLargeTitle = "UICTFontTextStyleTitle0";
inline constexpr const char* FontTextStyleTitle1 = "UICTFontTextStyleTitle1";
inline constexpr const char* FontTextStyleTitle2 = "UICTFontTextStyleTitle2";
inline constexpr const char* FontTextStyleTitle3 = "UICTFontTextStyleTitle3";
inline constexpr const char* FontTextStyleHeadline = "UICTFontTextStyleHeadline";
inline constexpr const char* FontTextStyleBody = "UICTFontTextStyleBody";
inline constexpr const char* FontTextStyleCallout = "UICTFontTextStyleCallout";
inline constexpr const char* FontTextStyleSubheadline = "UICTFontTextStyleSubhead";
inline constexpr const char* FontTextStyleFootnote = "UICTFontTextStyleFootnote";
inline constexpr const char* FontTextStyleCaption1 = "UICTFontTextStyleCaption1";
inline constexpr const char* FontTextStyleCaption2 = "UICTFontTextStyleCaption2";

class Font : public ns::Object {
    RT_DECLARE_CLASS(Font)
public:
    // Face names of the system fonts.
    static constexpr const char* SystemFontName = "System";
    static constexpr const char* BoldSystemFontName = "System-Bold";
    static constexpr const char* SemiboldSystemFontName = "System-Semibold";

    Font() = default;
    Font(std::string name, double pointSize) : name_(std::move(name)), pointSize_(pointSize) {}

    static ns::Ref<Font> systemFontOfSize(double size);
    static ns::Ref<Font> boldSystemFontOfSize(double size);
    static ns::Ref<Font> fontWithName(std::string name, double size);
    // The sizes of the default content size: large title 34, title1 28,
    // title2 22, title3 20, headline 17 (semibold), body 17, callout 16,
    // subheadline 15, footnote 13, caption1 12, caption2 11. An unknown style
    // gives the body font.
    static ns::Ref<Font> preferredFontForTextStyle(std::string_view style);

    const std::string& fontName() const { return name_; }
    double pointSize() const { return pointSize_; }
    bool isBold() const;
    // ceil(1.2 x point size), as the text-metrics model lays out lines.
    double lineHeight() const;
    ns::Ref<Font> fontWithSize(double size) const;

    // The text's size in this font; wrapped to maxWidth when it is positive
    // and finite, keeping at most maxLines lines (0: all).
    cg::Size sizeOfText(std::string_view text, double maxWidth = 0, int maxLines = 0) const;

    std::string description() const override;
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const ns::Object* other) const override;
    ns::Id copy() const override { return self(); }

private:
    std::string name_ = SystemFontName;
    double pointSize_ = 17;
};

}  // namespace ui

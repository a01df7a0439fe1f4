#pragma once
// The value types that text attributes and text views share: alignment,
// line breaking, underline styles, paragraph styles and shadows, with the
// platform's numbering.

#include <cstdint>
#include <optional>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/runtime/Class.h"

namespace ui {

enum class TextAlignment { Left = 0, Center = 1, Right = 2, Justified = 3, Natural = 4 };

enum class LineBreakMode {
    ByWordWrapping = 0,
    ByCharWrapping = 1,
    ByClipping = 2,
    ByTruncatingHead = 3,
    ByTruncatingTail = 4,
    ByTruncatingMiddle = 5,
};

// Values of the strikethrough and underline attributes.
enum UnderlineStyle : int64_t {
    UnderlineStyleNone = 0x00,
    UnderlineStyleSingle = 0x01,
    UnderlineStyleThick = 0x02,
    UnderlineStyleDouble = 0x09,
};

class ParagraphStyle : public ns::Object {
    RT_DECLARE_CLASS(ParagraphStyle)
public:
    ParagraphStyle() = default;
    static ns::Ref<ParagraphStyle> make() { return std::make_shared<ParagraphStyle>(); }

    // Extra points between the lines of a paragraph.
    double lineSpacing() const { return lineSpacing_; }
    void setLineSpacing(double points) { lineSpacing_ = points < 0 ? 0 : points; }
    // Extra points after each paragraph but the last.
    double paragraphSpacing() const { return paragraphSpacing_; }
    void setParagraphSpacing(double points) { paragraphSpacing_ = points < 0 ? 0 : points; }
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment alignment) { alignment_ = alignment; }
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode mode) { lineBreakMode_ = mode; }

    using Object::isEqual;
    bool isEqual(const ns::Object* other) const override;
    uint64_t hash() const override;
    ns::Id copy() const override;
    std::string description() const override;

private:
    double lineSpacing_ = 0;
    double paragraphSpacing_ = 0;
    TextAlignment alignment_ = TextAlignment::Natural;
    LineBreakMode lineBreakMode_ = LineBreakMode::ByWordWrapping;
};

class Shadow : public ns::Object {
    RT_DECLARE_CLASS(Shadow)
public:
    Shadow() = default;
    static ns::Ref<Shadow> make() { return std::make_shared<Shadow>(); }

    cg::Size shadowOffset() const { return offset_; }
    void setShadowOffset(cg::Size offset) { offset_ = offset; }
    double shadowBlurRadius() const { return blurRadius_; }
    void setShadowBlurRadius(double radius) { blurRadius_ = radius < 0 ? 0 : radius; }
    // Nil draws in black at one third opacity, as on the platform.
    const std::optional<cg::Color>& shadowColor() const { return color_; }
    void setShadowColor(std::optional<cg::Color> color) { color_ = color; }

    using Object::isEqual;
    bool isEqual(const ns::Object* other) const override;
    uint64_t hash() const override;
    ns::Id copy() const override;
    std::string description() const override;

private:
    cg::Size offset_;
    double blurRadius_ = 0;
    std::optional<cg::Color> color_;
};

}  // namespace ui

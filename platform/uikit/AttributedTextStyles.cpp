#include "platform/uikit/AttributedTextStyles.h"

#include <functional>

#include "platform/foundation/Format.h"

namespace ui {

RT_DEFINE_CLASS(ParagraphStyle, ns::Object, "NSParagraphStyle")
RT_DEFINE_CLASS(Shadow, ns::Object, "NSShadow")

bool ParagraphStyle::isEqual(const ns::Object* other) const {
    auto p = dynamic_cast<const ParagraphStyle*>(other);
    return p && p->lineSpacing_ == lineSpacing_ && p->paragraphSpacing_ == paragraphSpacing_ &&
           p->alignment_ == alignment_ && p->lineBreakMode_ == lineBreakMode_;
}

uint64_t ParagraphStyle::hash() const {
    return std::hash<double>()(lineSpacing_) ^ (uint64_t(alignment_) << 8) ^ uint64_t(lineBreakMode_);
}

ns::Id ParagraphStyle::copy() const {
    auto p = make();
    p->lineSpacing_ = lineSpacing_;
    p->paragraphSpacing_ = paragraphSpacing_;
    p->alignment_ = alignment_;
    p->lineBreakMode_ = lineBreakMode_;
    return p;
}

std::string ParagraphStyle::description() const {
    return ns::format("Alignment %d, LineSpacing %g, ParagraphSpacing %g, LineBreakMode %d", int(alignment_),
                      lineSpacing_, paragraphSpacing_, int(lineBreakMode_));
}

bool Shadow::isEqual(const ns::Object* other) const {
    auto s = dynamic_cast<const Shadow*>(other);
    return s && s->offset_ == offset_ && s->blurRadius_ == blurRadius_ && s->color_ == color_;
}

uint64_t Shadow::hash() const { return std::hash<double>()(blurRadius_) ^ std::hash<double>()(offset_.width); }

ns::Id Shadow::copy() const {
    auto s = make();
    s->offset_ = offset_;
    s->blurRadius_ = blurRadius_;
    s->color_ = color_;
    return s;
}

std::string Shadow::description() const {
    return ns::format("NSShadow {%g, %g} blur = %g", offset_.width, offset_.height, blurRadius_);
}

}  // namespace ui

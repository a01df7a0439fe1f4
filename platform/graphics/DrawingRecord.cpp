#include "platform/graphics/DrawingRecord.h"

#include <cstdio>
#include <ostream>

namespace cg {

namespace {

struct KindInfo {
    std::string_view name;
    int count;
};

KindInfo info(DrawingRecord::Kind kind) {
    using K = DrawingRecord::Kind;
    switch (kind) {
    case K::SaveGState: return {"saveGState", 0};
    case K::RestoreGState: return {"restoreGState", 0};
    case K::TranslateCTM: return {"translateCTM", 2};
    case K::ScaleCTM: return {"scaleCTM", 2};
    case K::RotateCTM: return {"rotateCTM", 1};
    case K::ConcatCTM: return {"concatCTM", 6};
    case K::FillColor: return {"fillColor", 4};
    case K::StrokeColor: return {"strokeColor", 4};
    case K::LineWidth: return {"lineWidth", 1};
    case K::LineCap: return {"lineCap", 1};
    case K::LineJoin: return {"lineJoin", 1};
    case K::Alpha: return {"alpha", 1};
    case K::BlendMode: return {"blendMode", 1};
    case K::Antialias: return {"antialias", 1};
    case K::Interpolation: return {"interpolation", 1};
    case K::BeginPath: return {"beginPath", 0};
    case K::MoveTo: return {"moveTo", 2};
    case K::LineTo: return {"lineTo", 2};
    case K::CurveTo: return {"curveTo", 6};
    case K::QuadCurveTo: return {"quadCurveTo", 4};
    case K::Arc: return {"arc", 6};
    case K::ArcToPoint: return {"arcToPoint", 5};
    case K::Rect: return {"rect", 4};
    case K::Ellipse: return {"ellipse", 4};
    case K::RoundedRect: return {"roundedRect", 5};
    case K::ClosePath: return {"closePath", 0};
    case K::Fill: return {"fill", 7};
    case K::Stroke: return {"stroke", 7};
    case K::FillRect: return {"fillRect", 4};
    case K::StrokeRect: return {"strokeRect", 4};
    case K::ClearRect: return {"clearRect", 4};
    case K::Clip: return {"clip", 1};
    case K::ClipToRect: return {"clipToRect", 4};
    case K::DrawImage: return {"drawImage", 7};
    case K::Text: return {"text", 7};
    case K::LinearGradient: return {"linearGradient", 5};
    case K::RadialGradient: return {"radialGradient", 7};
    }
    return {"unknown", 0};
}

}  // namespace

std::string_view kindName(DrawingRecord::Kind kind) { return info(kind).name; }

std::string describe(const DrawingRecord& record) {
    KindInfo k = info(record.kind);
    std::string out(k.name);
    char buf[32];
    for (int i = 0; i < k.count; ++i) {
        std::snprintf(buf, sizeof buf, " %g", record.n[size_t(i)]);
        out += buf;
    }
    if (record.kind == DrawingRecord::Kind::Text) out += " \"" + record.text + "\"";
    return out;
}

std::ostream& operator<<(std::ostream& os, const DrawingRecord& record) { return os << describe(record); }

}  // namespace cg

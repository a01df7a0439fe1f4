#pragma once
// A layer that shows its sublayers several times over, each copy offset by
// one more step of the instance transform and starting its animations one
// more instance delay later. Nothing is composited here: the copies exist
// as data.

#include <cstdint>
#include <optional>

#include "platform/uikit/Layer.h"

namespace ui {

class ReplicatorLayer : public Layer {
    RT_DECLARE_CLASS(ReplicatorLayer)
public:
    ReplicatorLayer() = default;
    static ns::Ref<ReplicatorLayer> make() { return std::make_shared<ReplicatorLayer>(); }

    // Copies of the sublayers shown, the first untransformed; each next one
    // applies instanceTransform once more and starts instanceDelay later.
    int64_t instanceCount() const { return instanceCount_; }
    void setInstanceCount(int64_t count) { instanceCount_ = count < 0 ? 0 : count; }
    const Transform3D& instanceTransform() const { return instanceTransform_; }
    void setInstanceTransform(const Transform3D& t) { instanceTransform_ = t; }
    double instanceDelay() const { return instanceDelay_; }
    void setInstanceDelay(double seconds) { instanceDelay_ = seconds; }
    const std::optional<cg::Color>& instanceColor() const { return instanceColor_; }
    void setInstanceColor(std::optional<cg::Color> color) { instanceColor_ = std::move(color); }
    double instanceAlphaOffset() const { return instanceAlphaOffset_; }
    void setInstanceAlphaOffset(double offset) { instanceAlphaOffset_ = offset; }

    // The transform of the copy at `index` (identity for the first).
    Transform3D transformOfInstance(int64_t index) const;

private:
    int64_t instanceCount_ = 1;
    Transform3D instanceTransform_;
    double instanceDelay_ = 0;
    std::optional<cg::Color> instanceColor_;
    double instanceAlphaOffset_ = 0;
};

}  // namespace ui

#pragma once
// What the view animation blocks animated, for tests: one record per block
// (animate, the spring variant, begin/commit) that ran with animations
// enabled, with its timing and the layer properties each view changed.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/Object.h"
#include "platform/uikit/View.h"

namespace ui {

struct ViewAnimationRecord {
    enum class Kind { Block, Spring, BeginCommit };

    struct Change {
        ns::Weak<View> view;
        // The layer's name of the property: "position", "bounds", "opacity",
        // "transform", "backgroundColor", "cornerRadius".
        std::string keyPath;
        ns::Id fromValue;
        ns::Id toValue;
    };

    Kind kind = Kind::Block;
    double duration = 0;
    double delay = 0;
    uint64_t options = 0;
    ViewAnimationCurve curve = ViewAnimationCurve::EaseInOut;
    double dampingRatio = 0;     // spring only
    double initialVelocity = 0;  // spring only
    double time = 0;             // on the clock, when the block ended
    std::vector<Change> changes;

    bool animates(const View& view, std::string_view keyPath) const;
    std::vector<std::string> keyPathsFor(const View& view) const;
};

class AnimationRecorder {
public:
    static AnimationRecorder& shared();

    const std::vector<ViewAnimationRecord>& records() const { return records_; }
    // The latest record that changed `view`, or null.
    const ViewAnimationRecord* lastFor(const View& view) const;
    void clear() { records_.clear(); }

    void record(ViewAnimationRecord record) { records_.push_back(std::move(record)); }

private:
    std::vector<ViewAnimationRecord> records_;
};

}  // namespace ui

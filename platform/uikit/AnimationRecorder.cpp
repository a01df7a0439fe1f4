#include "platform/uikit/AnimationRecorder.h"

namespace ui {

bool ViewAnimationRecord::animates(const View& view, std::string_view keyPath) const {
    for (const auto& change : changes) {
        if (change.view.lock().get() == &view && change.keyPath == keyPath) return true;
    }
    return false;
}

std::vector<std::string> ViewAnimationRecord::keyPathsFor(const View& view) const {
    std::vector<std::string> out;
    for (const auto& change : changes) {
        if (change.view.lock().get() == &view) out.push_back(change.keyPath);
    }
    return out;
}

AnimationRecorder& AnimationRecorder::shared() {
    static AnimationRecorder* recorder = new AnimationRecorder;
    return *recorder;
}

const ViewAnimationRecord* AnimationRecorder::lastFor(const View& view) const {
    for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
        for (const auto& change : it->changes) {
            if (change.view.lock().get() == &view) return &*it;
        }
    }
    return nullptr;
}

}  // namespace ui

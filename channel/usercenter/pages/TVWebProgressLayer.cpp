#include "channel/usercenter/pages/TVWebProgressLayer.h"

#include "platform/dispatch/Queue.h"
#include "platform/graphics/BezierPath.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Transaction.h"

RT_DEFINE_CLASS(TVWebProgressLayer, ui::ShapeLayer, "TVWebProgressLayer")

namespace {

// strokeEnd without an implicit animation.
void setEnd(TVWebProgressLayer& layer, double end) {
    ui::Transaction::begin();
    ui::Transaction::setDisableActions(true);
    layer.setStrokeEnd(end);
    ui::Transaction::commit();
}

}  // namespace

ns::Ref<TVWebProgressLayer> TVWebProgressLayer::layerWithFrame(const cg::Rect& frame) {
    auto layer = std::make_shared<TVWebProgressLayer>();
    layer->initialize();
    layer->setFrame(frame);
    return layer;
}

TVWebProgressLayer::~TVWebProgressLayer() {
    closeTimer();
}

void TVWebProgressLayer::initialize() {
    setAnchorPoint({0, 0.5});
    setLineWidth(2);
    setStrokeColor(cg::Color{1, 127.0 / 255, 0, 1});
    ns::Weak<TVWebProgressLayer> weak = ref<TVWebProgressLayer>();
    timer_ = TVAddition::wy_scheduledTimerWithTimeInterval(kTick, true, [weak](dispatch::RunLoopTimer&) {
        if (auto layer = weak.lock()) layer->pathChanged();
    });
    TVAddition::pause(timer_);
    cg::BezierPath path;
    path.moveTo({0, 2});
    path.lineTo({ui::Screen::mainScreen()->bounds().size.width, 2});
    setPath(path);
    setStrokeEnd(0);
    plusWidth_ = 0.01;
}

void TVWebProgressLayer::startLoad() {
    TVAddition::resumeWithTimeInterval(timer_, kTick);
}

void TVWebProgressLayer::pathChanged() {
    if (strokeEnd() >= kHold) {
        TVAddition::pause(timer_);
        return;
    }
    double end = strokeEnd() + plusWidth_;
    setEnd(*this, end);
    if (end > kSlowFrom) plusWidth_ = 0.001;
}

void TVWebProgressLayer::finishedLoad() {
    closeTimer();
    setEnd(*this, 1.0);
    ns::Weak<TVWebProgressLayer> weak = ref<TVWebProgressLayer>();
    dispatch::after(kRemoveAfter, dispatch::mainQueue(), [weak] {
        auto layer = weak.lock();
        if (!layer) return;
        layer->setHidden(true);
        layer->removeFromSuperlayer();
    });
}

void TVWebProgressLayer::closeTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

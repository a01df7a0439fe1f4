#pragma once
// The thin orange load-progress line of the in-centre web pages. It grows
// 1 % every 0.03 s up to 80 %, then 0.1 % a tick, and waits at 97 % for the
// load to end; the end fills it and removes it 0.25 s later.

#include "channel/usercenter/pages/NSTimer+TVAddition.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ShapeLayer.h"

class TVWebProgressLayer : public ui::ShapeLayer {
    RT_DECLARE_CLASS(TVWebProgressLayer)
public:
    static constexpr double kTick = 0.03;
    static constexpr double kHold = 0.97;
    static constexpr double kSlowFrom = 0.8;
    static constexpr double kRemoveAfter = 0.25;

    static ns::Ref<TVWebProgressLayer> layerWithFrame(const cg::Rect& frame);
    ~TVWebProgressLayer() override;

    void startLoad();
    void finishedLoad();
    void closeTimer();
    // The timer's tick.
    void pathChanged();

    const TVAddition::Timer& timer() const { return timer_; }
    double plusWidth() const { return plusWidth_; }

private:
    void initialize();

    TVAddition::Timer timer_;
    double plusWidth_ = 0.01;
};

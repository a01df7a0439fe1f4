#include "channel/screens/TVProgressDP.h"

#include <cmath>

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Number.h"
#include "platform/uikit/Animation.h"
#include "platform/uikit/Font.h"

RT_DEFINE_CLASS(TVProgressDP, ui::View, "TVProgressDP")

namespace {

const cg::Color kGrey = cg::Color::fromWhite(0.5);

}  // namespace

ns::Ref<TVProgressDP> TVProgressDP::make(const cg::Rect& frame) {
    auto view = std::make_shared<TVProgressDP>();
    view->setFrame(frame);
    view->setup();
    return view;
}

void TVProgressDP::setup() {
    initLoadView();
}

void TVProgressDP::initLoadView() {
    auto dot = ui::Layer::make();
    dot->setBackgroundColor(kGrey);
    dot->setBounds({0, 0, 13, 13});
    dot->setCornerRadius(6.5);
    dot->setMasksToBounds(true);
    dot->setPosition({bounds().size.width / 2, 10});
    dot->setTransform(ui::Transform3D::makeScale(0, 0, 0));

    auto ring = ui::ReplicatorLayer::make();
    ring->setFrame(bounds());
    ring->setInstanceCount(kDotCount);
    ring->setInstanceTransform(ui::Transform3D::makeRotation(2 * M_PI / kDotCount));
    ring->setInstanceDelay(kPulseSeconds / kDotCount);
    ring->addSublayer(dot);
    layer()->addSublayer(ring);
    dotLayer_ = dot;
    replayer_ = ring;
}

void TVProgressDP::showWithTitle(const std::string& title) {
    title_ = title;
    show();

    auto label = ui::Label::make();
    label->setTextColor(kGrey);
    label->setFont(ui::Font::systemFontOfSize(15));
    label->setText(title_ + "...");
    label->sizeToFit();
    cg::Rect ring = replayer() ? replayer()->frame() : bounds();
    cg::Rect frame = label->frame();
    frame.origin.y = ring.origin.y + ring.size.height + 8;
    label->setFrame(frame);
    label->setCenter({ring.origin.x + ring.size.width / 2, label->center().y});
    label->setTag(0);
    addSubview(label);
    label_ = label;

    // The timer holds the view weakly: the run loop keeps the timer, which
    // ends itself once the view has gone undismissed.
    ns::Weak<TVProgressDP> weak = ref<TVProgressDP>();
    auto timer = dispatch::RunLoopTimer::create(kTitleStepSeconds, true, [weak](dispatch::RunLoopTimer& fired) {
        if (auto view = weak.lock()) view->changeLable();
        else fired.invalidate();
    });
    dispatch::RunLoop::current().addTimer(timer, dispatch::RunLoopMode::Default);
    timer_ = timer;
}

void TVProgressDP::show() {
    showLoadView();
}

void TVProgressDP::showLoadView() {
    auto dot = dotLayer();
    if (!dot) return;
    auto pulse = ui::BasicAnimation::animationWithKeyPath("transform.scale");
    pulse->setFromValue(ns::num(1));
    pulse->setToValue(ns::num(0));
    pulse->setDuration(kPulseSeconds);
    pulse->setTimingFunction(ui::MediaTimingFunction::functionWithName(ui::MediaTimingFunctionEaseInEaseOut));
    pulse->setRepeatCount(ui::RepeatForever);
    dot->addAnimation(pulse, "");
}

void TVProgressDP::changeLable() {
    auto label = this->label();
    if (!label) return;
    static const char* const kDots[] = {"...", "..", "."};
    int64_t phase = label->tag();
    if (phase < 0 || phase > 2) return;
    label->setText(title_ + kDots[phase]);
    label->setTag((phase + 1) % 3);
}

void TVProgressDP::dismiss() {
    dimssLoadView();
    if (auto label = this->label()) label->removeFromSuperview();
    if (auto timer = this->timer()) timer->invalidate();
    timer_.reset();
}

void TVProgressDP::dimssLoadView() {
    if (auto dot = dotLayer()) dot->removeAllAnimations();
    if (auto ring = replayer()) ring->removeFromSuperlayer();
}

#include "platform/uikit/FeedbackGenerator.h"

namespace ui {

RT_DEFINE_CLASS(FeedbackGenerator, ns::Object, "UIFeedbackGenerator")
RT_DEFINE_CLASS(NotificationFeedbackGenerator, FeedbackGenerator, "UINotificationFeedbackGenerator")
RT_DEFINE_CLASS(ImpactFeedbackGenerator, FeedbackGenerator, "UIImpactFeedbackGenerator")
RT_DEFINE_CLASS(SelectionFeedbackGenerator, FeedbackGenerator, "UISelectionFeedbackGenerator")

FeedbackRecorder& FeedbackRecorder::shared() {
    static FeedbackRecorder* recorder = new FeedbackRecorder;
    return *recorder;
}

void FeedbackGenerator::prepare() {
    FeedbackRecorder::shared().record({FeedbackRecord::Kind::Prepare, className(), 0, 1});
}

void NotificationFeedbackGenerator::notificationOccurred(NotificationFeedbackType type) {
    FeedbackRecorder::shared().record({FeedbackRecord::Kind::Notification, className(), int(type), 1});
}

void ImpactFeedbackGenerator::impactOccurred(double intensity) {
    FeedbackRecorder::shared().record({FeedbackRecord::Kind::Impact, className(), int(style_), intensity});
}

void SelectionFeedbackGenerator::selectionChanged() {
    FeedbackRecorder::shared().record({FeedbackRecord::Kind::SelectionChanged, className(), 0, 1});
}

}  // namespace ui

#pragma once
// Haptic feedback generators. There is nothing to vibrate, so every prepare
// and every feedback is recorded, in order, for tests.

#include <string>
#include <vector>

#include "platform/runtime/Class.h"

namespace ui {

enum class NotificationFeedbackType { Success = 0, Warning = 1, Error = 2 };
enum class ImpactFeedbackStyle { Light = 0, Medium = 1, Heavy = 2, Soft = 3, Rigid = 4 };

struct FeedbackRecord {
    enum class Kind { Prepare, Notification, Impact, SelectionChanged };
    Kind kind;
    // The generator's class name ("UINotificationFeedbackGenerator"...).
    std::string generator;
    // The notification type or impact style; 0 otherwise.
    int value = 0;
    double intensity = 1;  // impacts only
};

class FeedbackRecorder {
public:
    static FeedbackRecorder& shared();
    const std::vector<FeedbackRecord>& records() const { return records_; }
    void clear() { records_.clear(); }
    void record(FeedbackRecord record) { records_.push_back(std::move(record)); }

private:
    std::vector<FeedbackRecord> records_;
};

class FeedbackGenerator : public ns::Object {
    RT_DECLARE_CLASS(FeedbackGenerator)
public:
    FeedbackGenerator() = default;
    void prepare();
};

class NotificationFeedbackGenerator : public FeedbackGenerator {
    RT_DECLARE_CLASS(NotificationFeedbackGenerator)
public:
    NotificationFeedbackGenerator() = default;
    void notificationOccurred(NotificationFeedbackType type);
};

class ImpactFeedbackGenerator : public FeedbackGenerator {
    RT_DECLARE_CLASS(ImpactFeedbackGenerator)
public:
    ImpactFeedbackGenerator() = default;
    explicit ImpactFeedbackGenerator(ImpactFeedbackStyle style) : style_(style) {}
    ImpactFeedbackStyle style() const { return style_; }
    void impactOccurred(double intensity = 1);

private:
    ImpactFeedbackStyle style_ = ImpactFeedbackStyle::Medium;
};

class SelectionFeedbackGenerator : public FeedbackGenerator {
    RT_DECLARE_CLASS(SelectionFeedbackGenerator)
public:
    SelectionFeedbackGenerator() = default;
    void selectionChanged();
};

}  // namespace ui

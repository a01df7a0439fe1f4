#pragma once
// Accessibility posts: nothing reads the screen aloud here, so each post is
// recorded with the platform's notification number and its argument.

#include <cstdint>
#include <vector>

#include "platform/runtime/Object.h"

namespace ui {

// The platform's notification numbers.
inline constexpr uint32_t AccessibilityScreenChangedNotification = 1000;
inline constexpr uint32_t AccessibilityLayoutChangedNotification = 1001;
inline constexpr uint32_t AccessibilityAnnouncementNotification = 1008;
inline constexpr uint32_t AccessibilityPageScrolledNotification = 1009;

struct AccessibilityPost {
    uint32_t notification;
    ns::Id argument;  // a text for announcements, a view or nil otherwise
};

void accessibilityPostNotification(uint32_t notification, ns::Id argument = nullptr);

class AccessibilityRecorder {
public:
    static AccessibilityRecorder& shared();
    const std::vector<AccessibilityPost>& posts() const { return posts_; }
    void clear() { posts_.clear(); }
    void record(AccessibilityPost post) { posts_.push_back(std::move(post)); }

private:
    std::vector<AccessibilityPost> posts_;
};

}  // namespace ui

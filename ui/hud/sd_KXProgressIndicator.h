#pragma once
// What the per-view HUD asks of an indicator that shows a progress value:
// the round and bar views implement it, and a custom view may too.

class sd_KXProgressIndicator {
public:
    virtual ~sd_KXProgressIndicator() = default;
    virtual float progress() const = 0;
    virtual void setProgress(float progress) = 0;
};

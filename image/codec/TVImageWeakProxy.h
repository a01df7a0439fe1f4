#pragma once
// Stands between a display link and its view: it holds the view weakly, so
// the link (which keeps its callback until invalidated) never keeps the
// view alive. Once the view is gone, what goes through it is dropped.

#include "platform/runtime/Class.h"

class _TVImageWeakProxy : public ns::Object {
    RT_DECLARE_CLASS(_TVImageWeakProxy)
public:
    explicit _TVImageWeakProxy(ns::Weak<ns::Object> target) : target_(std::move(target)) {}
    static ns::Ref<_TVImageWeakProxy> proxyWithTarget(const ns::Ref<ns::Object>& target) {
        return std::make_shared<_TVImageWeakProxy>(target);
    }

    // Nil once the target is gone.
    ns::Ref<ns::Object> target() const { return target_.lock(); }
    bool isProxy() const { return true; }

    // Answered for the target.
    bool isEqual(const ns::Object* other) const override;
    uint64_t hash() const override;
    std::string description() const override;

private:
    ns::Weak<ns::Object> target_;
};

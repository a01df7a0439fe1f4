#pragma once
// A stand-in that passes calls to a target it holds weakly, so that a
// display link or a delayed call made through it does not keep the target
// alive. Once the target is gone, calls are dropped and answer the empty
// value of their result type (nil, zero, false).

#include "platform/runtime/Class.h"



class KVTRFLWeakProxy : public ns::Object {
    RT_DECLARE_CLASS(KVTRFLWeakProxy)
public:
    explicit KVTRFLWeakProxy(ns::Weak<ns::Object> target) : target_(std::move(target)) {}
    static ns::Ref<KVTRFLWeakProxy> weakProxyForObject(const ns::Ref<ns::Object>& object) {
        return std::make_shared<KVTRFLWeakProxy>(object);
    }

    ns::Ref<ns::Object> target() const { return target_.lock(); }

    // Calls `call` with the target while it lives; otherwise nothing, and
    // the result type's empty value.
    template <class T, class F>
    auto forward(F&& call) const -> decltype(call(std::declval<T&>())) {
        using Result = decltype(call(std::declval<T&>()));
        auto target = std::dynamic_pointer_cast<T>(target_.lock());
        if (!target) {
            if constexpr (std::is_void_v<Result>) return;
            else return Result{};
        }
        return call(*target);
    }

private:
    ns::Weak<ns::Object> target_;
};



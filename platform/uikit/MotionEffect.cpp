#include "platform/uikit/MotionEffect.h"

namespace ui {

RT_DEFINE_CLASS(MotionEffect, ns::Object, "UIMotionEffect")
RT_DEFINE_CLASS(InterpolatingMotionEffect, MotionEffect, "UIInterpolatingMotionEffect")
RT_DEFINE_CLASS(MotionEffectGroup, MotionEffect, "UIMotionEffectGroup")

}  // namespace ui

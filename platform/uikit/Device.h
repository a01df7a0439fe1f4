#pragma once
// The current device, read from the screen model.

#include <string>

#include "platform/runtime/Class.h"

namespace ui {

enum class UserInterfaceIdiom { Unspecified = -1, Phone = 0, Pad = 1 };

// The platform's device orientations (landscape named by where the home
// button or bottom edge went, so they mirror the interface orientations).
enum class DeviceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeLeft = 3,
    LandscapeRight = 4,
    FaceUp = 5,
    FaceDown = 6,
};

class Device : public ns::Object {
    RT_DECLARE_CLASS(Device)
public:
    Device() = default;
    static const ns::Ref<Device>& currentDevice();

    std::string systemName() const { return "iOS"; }
    std::string systemVersion() const;
    std::string model() const;
    std::string localizedModel() const { return model(); }
    std::string name() const;
    UserInterfaceIdiom userInterfaceIdiom() const { return UserInterfaceIdiom::Phone; }
    DeviceOrientation orientation() const;
};

}  // namespace ui

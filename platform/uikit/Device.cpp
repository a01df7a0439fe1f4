#include "platform/uikit/Device.h"

#include "platform/uikit/Screen.h"

namespace ui {

RT_DEFINE_CLASS(Device, ns::Object, "UIDevice")

const ns::Ref<Device>& Device::currentDevice() {
    static auto* device = new ns::Ref<Device>(std::make_shared<Device>());
    return *device;
}

std::string Device::systemVersion() const { return Screen::mainScreen()->model().systemVersion; }

std::string Device::model() const { return Screen::mainScreen()->model().deviceModel; }

std::string Device::name() const { return Screen::mainScreen()->model().deviceName; }

DeviceOrientation Device::orientation() const {
    switch (Screen::mainScreen()->model().orientation) {
        case InterfaceOrientation::Portrait: return DeviceOrientation::Portrait;
        case InterfaceOrientation::PortraitUpsideDown: return DeviceOrientation::PortraitUpsideDown;
        // The interface turns against the device.
        case InterfaceOrientation::LandscapeLeft: return DeviceOrientation::LandscapeRight;
        case InterfaceOrientation::LandscapeRight: return DeviceOrientation::LandscapeLeft;
        default: return DeviceOrientation::Unknown;
    }
}

}  // namespace ui
